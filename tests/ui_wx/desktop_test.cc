// The boxes and windows of the user interface on a desktop (a virtual X server with a
// window manager), driven by xdotool: where they appear, whether their texts are on the
// screen while their work runs, and the error dialog's keys. Pictures of each are kept
// under the build folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/desktop.h"
#include "tests/test_util.h"
#include "ui/error_dialog.h"

namespace px {
namespace {

using test::ChildProcess;
using test::Desktop;

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!desktop_.Start(&why)) GTEST_SKIP() << "no desktop for the real-window tests: " << why;
    shots_ = test::ArtefactDir();
    std::filesystem::create_directories(shots_);
  }

  ChildProcess Demo(const std::vector<std::string>& args, const std::string& out = "") {
    std::vector<std::string> argv = {PX_WINDOW_DEMO};
    argv.insert(argv.end(), args.begin(), args.end());
    return ChildProcess(argv, desktop_.env(), scratch_.path(), out);
  }

  // Saves the window's picture; the counts of light and dark pixels in it.
  std::pair<long, long> Grab(const std::string& window, const std::string& name) {
    Desktop::Geometry g;
    EXPECT_TRUE(desktop_.GeometryOf(window, &g));
    const std::string out = scratch_.File("grab.txt");
    const int code =
        test::RunProgram({PX_WINDOW_DEMO, "grab", shots_ + "/" + name + ".png", std::to_string(g.x),
                          std::to_string(g.y), std::to_string(g.width), std::to_string(g.height)},
                         desktop_.env(), "", out, 30);
    EXPECT_EQ(code, 0) << name;
    long light = 0, dark = 0, total = 0;
    std::sscanf(test::ReadFileBytes(out).c_str(), "%ld %ld %ld", &light, &dark, &total);
    return {light, dark};
  }

  void ExpectCentred(const std::string& window, const std::string& what) {
    Desktop::Geometry g;
    ASSERT_TRUE(desktop_.GeometryOf(window, &g)) << what;
    EXPECT_NEAR(g.x + g.width / 2, Desktop::kScreenWidth / 2, 40) << what;
    EXPECT_NEAR(g.y + g.height / 2, Desktop::kScreenHeight / 2, 60) << what;
  }

  Desktop desktop_;
  test::ScratchDir scratch_;
  std::string shots_;
};

TEST_F(DesktopTest, MessageBoxesAreCentredOnTheScreenAndReported) {
  ChildProcess demo = Demo({"boxes"}, scratch_.File("boxes.out"));
  for (const char* kind : {"Information", "Alert", "Stop"}) {
    const std::string box = desktop_.WaitWindow(std::string("^") + kind + "$");
    ASSERT_FALSE(box.empty()) << kind << " box did not come up";
    ExpectCentred(box, kind);
    Grab(box, std::string("message_box_") + kind);
    desktop_.Key("Return");
  }
  ASSERT_EQ(demo.Wait(30), 0);
  EXPECT_EQ(test::ReadFileBytes(scratch_.File("boxes.out")),
            "[Information] The update has been installed.\n"
            "[Alert] Unable to Access Directory: E:\\NOWHERE\n"
            "[Stop] The table CUSTOMER cannot be opened.\n");
}

// The work behind these windows takes no messages for six seconds: what is on the
// screen meanwhile was drawn before it began.
TEST_F(DesktopTest, WindowsShowTheirTextsBeforeTheirWorkBegins) {
  const struct {
    const char* mode;
    const char* title;
    const char* picture;
  } cases[] = {{"msgrun", "^Zip \\(Working\\)$", "backup_box_working"},
               {"progress", "^Updating ParVex$", "progress_window"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    ChildProcess demo = Demo({c.mode});
    const std::string window = desktop_.WaitWindow(c.title, 10, false);
    ASSERT_FALSE(window.empty()) << "the window did not come up";
    usleep(1000000);  // the work has begun
    Desktop::Geometry g;
    ASSERT_TRUE(desktop_.GeometryOf(window, &g));
    const auto [light, dark] = Grab(window, c.picture);
    // A painted window is mostly its light face with some dark text on it; an unpainted
    // one shows the black screen behind it.
    EXPECT_GT(light, static_cast<long>(g.width) * g.height / 2);
    EXPECT_GT(dark, 30);
    EXPECT_EQ(demo.Wait(30), 0);
  }
}

TEST_F(DesktopTest, ErrorDialogKeys) {
  const struct {
    const char* key;
    const char* choice;
  } cases[] = {{"Return", "quit"}, {"Escape", "quit"}, {"alt+r", "retry"}, {"alt+d", "default"}};
  const std::string result = scratch_.File("choice.txt");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    std::filesystem::remove(result);
    ChildProcess demo = Demo({"error", result});
    const std::string dialog = desktop_.WaitWindow("Run-time Error");
    ASSERT_FALSE(dialog.empty()) << "the error dialog did not come up";
    if (c.key == cases[0].key) {
      ExpectCentred(dialog, "error dialog");
      Grab(dialog, "error_dialog");
    }
    desktop_.Key(c.key);
    ASSERT_EQ(demo.Wait(30), 0);
    EXPECT_EQ(test::ReadFileBytes(result), std::string(c.choice) + "\n");
  }
}

// Without Notepad, "See Error.log file" shows the log in a window of its own.
TEST_F(DesktopTest, ErrorLogIsShownInAWindow) {
  const std::string result = scratch_.File("choice.txt");
  ChildProcess demo = Demo({"error", result});
  const std::string dialog = desktop_.WaitWindow("Run-time Error");
  ASSERT_FALSE(dialog.empty()) << "the error dialog did not come up";
  const int u = kErrorDialogUnit;
  const ErrorDialogLayout l = ErrorDialogLayoutFor(true, true);
  desktop_.Click(dialog, (l.see_log.col + l.see_log.width / 2) * u,
                 (l.see_log.row + l.see_log.height / 2) * u);
  const std::string log = desktop_.WaitWindow("^Error.log$", 10);
  ASSERT_FALSE(log.empty()) << "the log was not shown";
  const auto [light, dark] = Grab(log, "error_log_window");
  EXPECT_GT(dark, 100);  // the log's text
  desktop_.Key("Escape");
  ASSERT_FALSE(desktop_.WaitWindow("Run-time Error").empty());
  desktop_.Key("alt+q");
  ASSERT_EQ(demo.Wait(30), 0);
  EXPECT_EQ(test::ReadFileBytes(result), "quit\n");
}

}  // namespace
}  // namespace px
