// The Windows installer's own windows under Wine on a desktop (a virtual X server with
// a window manager), driven by xdotool as a user drives them: the update dialog of
// pxupdate.exe takes a typed folder and runs the update, and Escape abandons it with a
// message box. Pictures of the dialog (saved by the installer itself) and of the box
// are kept under the build folder.
//
// Needs the Windows build (PX_WIN_BUILD_DIR names its folder), wine, Xvfb, openbox and
// xdotool; the test is skipped, with the reason, without one of them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/driver/layout.h"
#include "runtime/process.h"
#include "tests/child_process.h"
#include "tests/desktop.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::ChildProcess;
using test::Desktop;

const char kPngSignature[] = "\x89PNG\r\n\x1a\n";

// The Linux build's pxdb makes the installation and reads the result.
#ifdef PX_PXDB_BINARY
const char kPxdb[] = PX_PXDB_BINARY;
#else
const char kPxdb[] = "";
#endif

// The Windows path of a Linux path: Wine shows the Linux root as drive Z:.
std::string WinePath(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return "Z:" + path;
}

class InstallerWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (*kPxdb == '\0') GTEST_SKIP() << "built without pxdb";
    const char* build = std::getenv("PX_WIN_BUILD_DIR");
    installer_ = build != nullptr ? std::string(build) + "/tools/pxupdate.exe" : "";
    if (installer_.empty() || !std::filesystem::exists(installer_)) {
      GTEST_SKIP() << "no Windows build: set PX_WIN_BUILD_DIR to a folder made by "
                      "scripts/build-windows.sh";
    }
    wine_ = FindProgram("wine64");
    if (wine_.empty()) wine_ = FindProgram("wine");
    if (wine_.empty())
      GTEST_SKIP() << "wine is not installed (scripts/build-windows.sh installs it)";
    std::string why;
    if (!desktop_.Start(&why)) GTEST_SKIP() << "no desktop for the real-window tests: " << why;
    shots_ = test::ArtefactDir();
    std::filesystem::create_directories(shots_);
    env_ = desktop_.env();
    // A prefix of its own, whatever WINEPREFIX says: Wine's server and desktop belong to
    // the display of the first program of a session, so a server shared with programs
    // started without this display (other tests running beside it) cannot make windows
    // here, and ending it at TearDown would end theirs.
    env_.push_back("WINEPREFIX=" + shots_ + "/wineprefix");
    // No offers to install Wine's .NET and browser parts: they would stand in the way.
    env_.push_back("WINEDEBUG=-all");
    env_.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
    // A prefix made on first use takes a while; made here, it does not count against
    // the windows' time.
    ASSERT_EQ(test::RunProgram({wine_, "wineboot", "-u"}, env_, "", "", 300), 0);
    MakeInstallationAndUpdate();
  }

  // Wine's own processes (its server, its desktop) are tied to this test's display: they
  // end with it.
  void TearDown() override {
    if (const std::string server = FindProgram("wineserver"); !server.empty() && !env_.empty()) {
      test::RunProgram({server, "-k"}, env_, "", "", 30);
    }
  }

  void Pxdb(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), kPxdb);
    if (!input.empty()) {
      // pxdb append reads its records from standard input.
      std::string line = "printf '%s\\n' '" + input + "' | ";
      for (const std::string& a : args) line += "'" + a + "' ";
      ASSERT_EQ(test::RunProgram({"/bin/sh", "-c", line}), 0) << line;
      return;
    }
    ASSERT_EQ(test::RunProgram(args), 0) << args[1];
  }

  // A sample installation, and an update that adds a field to glascat.
  void MakeInstallationAndUpdate() {
    std::filesystem::create_directories(Inst());
    std::filesystem::create_directories(Upd());
    std::filesystem::create_directories(scratch_.File("stage"));
    Pxdb({"sample", Inst()});
    Pxdb({"create", scratch_.File("stage/glascat.dbf"), "CODE:C:9", "DESC:C:30", "THICK:N:4:1"});
    Pxdb({"create", scratch_.File("stage/updatdef.dbf"), "DB_NAME:C:12", "PATH:C:40",
          "BRING_RECS:L:1"});
    Pxdb({"append", scratch_.File("stage/updatdef.dbf")},
         R"({"DB_NAME":"glascat","BRING_RECS":false})");
    Pxdb({"mkupdate", Upd() + "/PXUPD.zip", "tamrok", scratch_.File("stage/glascat.dbf"),
          scratch_.File("stage/updatdef.dbf")});
    // The application the installer starts at its end.
    test::WriteFileBytes(Inst("PX.bat"), "echo started> px_started\r\n");
  }

  std::string Inst(const std::string& name = "") const {
    return scratch_.path() + "/inst" + (name.empty() ? "" : "/" + name);
  }
  std::string Upd() const { return scratch_.path() + "/upd"; }

  bool Updated() const {
    const std::string out = scratch_.File("struct.txt");
    test::RunProgram({kPxdb, "struct", Inst("glascat.dbf")}, {}, "", out);
    return test::ReadFileBytes(out).find("THICK") != std::string::npos;
  }

  // Runs the installer, lets `use` work the update dialog, then answers every message
  // box with Enter (after `on_box` had a look at it) until the installer ends. Returns
  // what the installer reported on standard output (each box it showed is a line).
  std::string RunInstaller(const std::function<void(const std::string& dialog)>& use,
                           const std::function<void(const std::string& box)>& on_box = {}) {
    std::vector<std::string> env = env_;
    env.push_back("PX_SNAPSHOT_DIR=" + WinePath(shots_));
    const std::string out = scratch_.File("installer.out");
    ChildProcess installer({wine_, installer_}, env, Inst(), out);
    const std::string dialog = desktop_.WaitWindow("^Update ParVex$", 60);
    if (dialog.empty()) {
      ADD_FAILURE() << "the update dialog did not come up";
      return test::ReadFileBytes(out);
    }
    ExpectCentred(dialog, "the update dialog");
    use(dialog);
    int code = -1;
    for (int i = 0; i < 1800 && !installer.Ended(&code); ++i) {
      if (desktop_.Xdo({"search", "--onlyvisible", "--name", "Run-time Error"}) == 0) {
        installer.Kill();
        ADD_FAILURE() << "the installer reported an error:\n"
                      << test::ReadFileBytes(Inst("Error.log"));
        return test::ReadFileBytes(out);
      }
      const std::string box = desktop_.WaitWindow("^(Alert|Information|Stop)$", 0.1);
      if (!box.empty()) {
        if (on_box) on_box(box);
        desktop_.Key("Return");
      }
      usleep(100000);
    }
    EXPECT_EQ(code, 0) << "the installer did not end";
    return test::ReadFileBytes(out);
  }

  // The installer's main window is minimised: its windows stand in the screen's middle.
  void ExpectCentred(const std::string& window, const char* what) {
    Desktop::Geometry g;
    ASSERT_TRUE(desktop_.GeometryOf(window, &g)) << what;
    EXPECT_NEAR(g.x + g.width / 2, Desktop::kScreenWidth / 2, 40)
        << what << " at " << g.x << "," << g.y << " " << g.width << "x" << g.height;
    EXPECT_NEAR(g.y + g.height / 2, Desktop::kScreenHeight / 2, 60) << what;
  }

  // Saves a picture of the window as the screen shows it (with the wx build's grab).
  void Grab(const std::string& window, const std::string& name) {
#ifdef PX_WINDOW_DEMO
    Desktop::Geometry g;
    ASSERT_TRUE(desktop_.GeometryOf(window, &g)) << name;
    EXPECT_EQ(
        test::RunProgram({PX_WINDOW_DEMO, "grab", shots_ + "/" + name + ".png", std::to_string(g.x),
                          std::to_string(g.y), std::to_string(g.width), std::to_string(g.height)},
                         desktop_.env(), "", "", 30),
        0)
        << name;
#else
    std::printf("no picture of %s %s: the screen grab comes with the wx build\n", name.c_str(),
                window.c_str());
#endif
  }

  Desktop desktop_;
  test::ScratchDir scratch_;
  std::string installer_, wine_, shots_;
  std::vector<std::string> env_;
};

// Points of the update dialog's client area, from its layout.
const int kOkX = UnitsAcross(10) + 30, kOkY = UnitsDown(55) + 10;

// The folder is typed in lower case (the field stores it in capitals), the field is left
// by Tab and the update started by a click on OK.
TEST_F(InstallerWindowTest, UpdateFromTheFolderTyped) {
  std::filesystem::remove(shots_ + "/update_dialog.png");
  std::string folder = WinePath(Upd());
  for (char& c : folder) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string out = RunInstaller([&](const std::string& dialog) {
    desktop_.Key("ctrl+a");
    desktop_.Type(folder);
    desktop_.Key("Tab");
    desktop_.Click(dialog, kOkX, kOkY);
  });
  // The update took the folder as typed, in capitals.
  std::string source = WinePath(Upd());
  for (char& c : source) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_NE(test::ReadFileBytes(Inst("update.log")).find("Source: " + source), std::string::npos)
      << test::ReadFileBytes(Inst("update.log"));
  EXPECT_EQ(out.find("[Alert]"), std::string::npos) << out;
  EXPECT_TRUE(Updated()) << out;
  const std::string png = test::ReadFileBytes(shots_ + "/update_dialog.png");
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png.substr(0, 8), std::string(kPngSignature, 8));
}

TEST_F(InstallerWindowTest, EscapeAbandonsTheInstallation) {
  int boxes = 0;
  const std::string out = RunInstaller([&](const std::string&) { desktop_.Key("Escape"); },
                                       [&](const std::string& box) {
                                         if (boxes++ > 0) return;
                                         ExpectCentred(box, "the message box");
                                         Grab(box, "win32_message_box");
                                       });
  EXPECT_NE(out.find("[Alert] Installation Abandoned!"), std::string::npos) << out;
  EXPECT_EQ(boxes, 1) << out;
  EXPECT_FALSE(Updated());
}

}  // namespace
}  // namespace px
