// The real-window test: under a virtual X server, xdotool types a lower-case path
// into the demo dialog's field and presses the OK accelerator; the field stores it in
// upper case, and the dialog's picture is kept under the build folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/process.h"
#include "tests/child_process.h"
#include "tests/test_util.h"

namespace px {
namespace {

TEST(RealWindowTest, TypedPathIsStoredInUpperCase) {
  test::ChildProcess server;
  std::string why;
  const int display = test::StartXvfb(&server, &why);
  if (display < 0) GTEST_SKIP() << "Xvfb cannot start: " << why;
  const std::string xdotool = FindProgram("xdotool");
  ASSERT_FALSE(xdotool.empty()) << "xdotool is not installed (scripts/setup.sh installs it)";

  const std::string dir = test::ArtefactDir();
  std::filesystem::create_directories(dir);
  const std::string shot = dir + "/window_demo_dialog.png";
  const std::string result = dir + "/window_demo_result.txt";
  std::filesystem::remove(shot);
  std::filesystem::remove(result);
  const std::vector<std::string> env = {
      "DISPLAY=:" + std::to_string(display), "PX_UI=window",
      std::string("LSAN_OPTIONS=suppressions=") + PX_LSAN_SUPPRESSIONS + ":print_suppressions=0",
      "NO_AT_BRIDGE=1", "GTK_A11Y=none"};
  test::ChildProcess demo({PX_WINDOW_DEMO, shot, result}, env);

  // Wait for the dialog and give it the keyboard; then select the field's text, type
  // over it and press Alt+O. Each step is its own xdotool run: chained key commands
  // would be sent to the window directly, which the toolkit ignores as synthetic.
  auto xdo = [&](std::vector<std::string> args) {
    args.insert(args.begin(), xdotool);
    test::ChildProcess step(args, env);
    return step.Wait(30);
  };
  ASSERT_EQ(xdo({"search", "--sync", "--name", "Window Demo", "windowfocus", "--sync", "%1"}), 0)
      << "the dialog did not come up";
  usleep(300000);
  EXPECT_EQ(xdo({"key", "--clearmodifiers", "ctrl+a"}), 0);
  EXPECT_EQ(xdo({"type", "--delay", "30", "c:\\updates\\pxupd"}), 0);
  EXPECT_EQ(xdo({"key", "--clearmodifiers", "alt+o"}), 0);
  ASSERT_EQ(demo.Wait(60), 0) << "the demo program did not end";

  const std::string text = test::ReadFileBytes(result);
  EXPECT_EQ(text, "1\nC:\\UPDATES\\PXUPD" + std::string(33 - 16, ' ') + "\nsaved\n");
  const std::string png = test::ReadFileBytes(shot);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

}  // namespace
}  // namespace px
