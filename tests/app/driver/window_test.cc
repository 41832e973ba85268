// The installer in real windows under a virtual X server, on a generated installation: xdotool
// types the update folder into "Update From:" and presses OK; the update runs to its end; pictures
// of the update dialog and the green index rebuild window are kept under the build folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/driver/main.h"
#include "runtime/process.h"
#include "tests/app/driver/driver_fixture.h"
#include "tests/child_process.h"
#include "tools/pxdb/catalogue_check.h"
#include "tools/pxdb/sample_installation.h"

namespace px {
namespace {

using test::ChildProcess;

const char kPngSignature[] = "\x89PNG\r\n\x1a\n";

class WindowTest : public test::DriverTest {};

TEST_F(WindowTest, UpdateFromTheDialogToTheEnd) {
#if !defined(PX_INSTALLER_HAS_WINDOWS) || !defined(PX_PXUPDATE_BINARY)
  GTEST_SKIP() << "built without the window backend";
#else
  ChildProcess server;
  std::string why;
  const int display = test::StartXvfb(&server, &why);
  if (display < 0) GTEST_SKIP() << "Xvfb cannot start: " << why;
  const std::string xdotool = FindProgram("xdotool");
  ASSERT_FALSE(xdotool.empty()) << "xdotool is not installed (scripts/setup.sh installs it)";

  ApplyInstallerSettings();
  pxdb::SampleResult sample;
  std::string error;
  ASSERT_TRUE(pxdb::MakeSampleInstallation(Inst(), 0, &sample, &error)) << error;
  test::WriteFileBytes(Inst("PX"), "#!/bin/sh\necho started > px_started\n");
  std::filesystem::permissions(Inst("PX"), std::filesystem::perms::owner_all);
  const size_t glascat = test::ReadTable(Inst("glascat")).rows.size();
  MakeUpdate(
      {{.name = "glascat", .fields = {{"CODE", 'C', 9}, {"DESC", 'C', 30}, {"THICK", 'N', 4, 1}}}});

  const std::string shots = test::ArtefactDir();
  std::filesystem::create_directories(shots);
  for (const char* name : {"update_dialog.png", "index_rebuild_window.png"}) {
    std::filesystem::remove(shots + "/" + name);
  }
  const std::vector<std::string> env = {
      "DISPLAY=:" + std::to_string(display),
      "PX_UI=window",
      "PX_DRIVES=D=" + Upd(),
      "PX_SNAPSHOT_DIR=" + shots,
#ifdef PX_LSAN_SUPPRESSIONS
      std::string("LSAN_OPTIONS=suppressions=") + PX_LSAN_SUPPRESSIONS + ":print_suppressions=0",
#endif
      "NO_AT_BRIDGE=1",
      "GTK_A11Y=none"};
  ChildProcess installer({PX_PXUPDATE_BINARY}, env, Inst(), scratch_.path() + "/installer.out");

  // Each step is its own xdotool run: chained key commands would be sent to the window
  // directly, which the toolkit ignores as synthetic.
  auto xdo = [&](std::vector<std::string> args) {
    args.insert(args.begin(), xdotool);
    return test::RunProgram(args, env, "", "", 30);
  };
  ASSERT_EQ(xdo({"search", "--sync", "--name", "^Update ParVex$", "windowfocus", "--sync", "%1"}),
            0)
      << "the update dialog did not come up";
  usleep(300000);
  EXPECT_EQ(xdo({"key", "--clearmodifiers", "ctrl+a"}), 0);
  EXPECT_EQ(xdo({"type", "--delay", "30", "d:\\"}), 0);
  EXPECT_EQ(xdo({"key", "--clearmodifiers", "alt+o"}), 0);

  // A message box would wait for a person: each one is noted and answered. The error
  // dialog means the update went wrong: the test ends there with the error log.
  int boxes = 0, code = -1;
  for (int i = 0; i < 600 && !installer.Ended(&code); ++i) {
    if (xdo({"search", "--onlyvisible", "--name", "Run-time Error"}) == 0) {
      installer.Kill();
      FAIL() << "the installer reported an error:\n" << test::ReadFileBytes(Inst("Error.log"));
    }
    // Focus, not activation: there is no window manager to activate a window.
    if (xdo({"search", "--onlyvisible", "--name", "^(Alert|Information|Stop)$", "windowfocus",
             "--sync", "%1", "key", "Return"}) == 0) {
      ++boxes;
    }
    usleep(200000);
  }
  ASSERT_EQ(code, 0) << "the installer did not end";
  EXPECT_EQ(boxes, 0);

  for (const char* name : {"update_dialog.png", "index_rebuild_window.png"}) {
    const std::string png = test::ReadFileBytes(shots + "/" + name);
    ASSERT_GT(png.size(), 8u) << name;
    EXPECT_EQ(png.substr(0, 8), std::string(kPngSignature, 8)) << name;
  }
  const test::TableData now = test::ReadTable(Inst("glascat"));
  EXPECT_EQ(now.fields.size(), 3u);
  EXPECT_EQ(now.rows.size(), glascat);
  EXPECT_TRUE(pxdb::CheckCatalogue(Inst(), false).ok());
  EXPECT_TRUE(std::filesystem::exists(Inst("px_started")));
#endif
}

}  // namespace
}  // namespace px
