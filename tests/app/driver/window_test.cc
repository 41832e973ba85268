// The installer in real windows on a desktop (a virtual X server with a window manager), on a
// generated installation: xdotool works the update dialog as a user does (typing, Tab, clicks,
// Enter, Escape, accelerators); the result is read back from what the installer did and
// reported. A picture of the update dialog is kept under the build folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include <functional>

#include "app/driver/layout.h"
#include "app/driver/main.h"
#include "runtime/process.h"
#include "tests/app/driver/driver_fixture.h"
#include "tests/child_process.h"
#include "tests/desktop.h"
#include "tools/pxdb/catalogue_check.h"
#include "tools/pxdb/sample_installation.h"

namespace px {
namespace {

using test::ChildProcess;

const char kPngSignature[] = "\x89PNG\r\n\x1a\n";

class WindowTest : public test::DriverTest {
 protected:
  void SetUp() override {
    test::DriverTest::SetUp();
#if !defined(PX_INSTALLER_HAS_WINDOWS) || !defined(PX_PXUPDATE_BINARY)
    GTEST_SKIP() << "built without the window backend";
#else
    std::string why;
    if (!desktop_.Start(&why)) GTEST_SKIP() << "no desktop for the real-window tests: " << why;
    ApplyInstallerSettings();
    pxdb::SampleResult sample;
    std::string error;
    ASSERT_TRUE(pxdb::MakeSampleInstallation(Inst(), 0, &sample, &error)) << error;
    test::WriteFileBytes(Inst("PX"), "#!/bin/sh\necho started > px_started\n");
    std::filesystem::permissions(Inst("PX"), std::filesystem::perms::owner_all);
    glascat_ = test::ReadTable(Inst("glascat")).rows.size();
    MakeUpdate({{.name = "glascat",
                 .fields = {{"CODE", 'C', 9}, {"DESC", 'C', 30}, {"THICK", 'N', 4, 1}}}});
    shots_ = test::ArtefactDir();
    std::filesystem::create_directories(shots_);
    for (const char* name : {"update_dialog.png", "index_rebuild_window.png"}) {
      std::filesystem::remove(shots_ + "/" + name);
    }
    std::filesystem::create_directories(scratch_.path() + "/empty");
#endif
  }

  // Runs the installer with the drive map, lets `use` work the update dialog, then
  // answers every message box until the installer ends. Returns what the installer
  // reported on standard output (each box it showed is one line there).
  std::string RunInstaller(const std::string& drives,
                           const std::function<void(const std::string& dialog)>& use) {
    std::vector<std::string> env = desktop_.env();
    env.push_back("PX_DRIVES=" + drives);
    env.push_back("PX_SNAPSHOT_DIR=" + shots_);
    const std::string out = scratch_.path() + "/installer.out";
    const std::string err = scratch_.path() + "/installer.err";
    ChildProcess installer({PX_PXUPDATE_BINARY}, env, Inst(), out, err);
    const std::string dialog = desktop_.WaitWindow("^Update ParVex$");
    if (dialog.empty()) {
      ADD_FAILURE() << "the update dialog did not come up";
      return "";
    }
    ExpectCentred(dialog, "the update dialog");
    use(dialog);
    int code = -1, boxes = 0;
    for (int i = 0; i < 600 && !installer.Ended(&code); ++i) {
      if (desktop_.Xdo({"search", "--onlyvisible", "--name", "Run-time Error"}) == 0) {
        installer.Kill();
        ADD_FAILURE() << "the installer reported an error:\n"
                      << test::ReadFileBytes(Inst("Error.log"));
        return test::ReadFileBytes(out);
      }
      const std::string box = desktop_.WaitWindow("^(Alert|Information|Stop)$", 0.1);
      if (!box.empty()) {
        // The first comes while no other window is open (later ones may stand over
        // the index rebuild window).
        if (boxes++ == 0) ExpectCentred(box, "the first message box");
        desktop_.Key("Return");
      }
      usleep(100000);
    }
    EXPECT_EQ(code, 0) << "the installer did not end";
    // The toolkit has nothing to complain of.
    const std::string complaints = test::ReadFileBytes(err);
    EXPECT_EQ(complaints.find("Gtk-"), std::string::npos) << complaints;
    return test::ReadFileBytes(out);
  }

  // On the screen's middle: the installer's main window is minimised, so nothing else
  // is there to be centred on.
  void ExpectCentred(const std::string& window, const char* what) {
    test::Desktop::Geometry g;
    ASSERT_TRUE(desktop_.GeometryOf(window, &g)) << what;
    EXPECT_NEAR(g.x + g.width / 2, test::Desktop::kScreenWidth / 2, 40)
        << what << " at " << g.x << "," << g.y << " " << g.width << "x" << g.height;
    EXPECT_NEAR(g.y + g.height / 2, test::Desktop::kScreenHeight / 2, 60) << what;
  }

  bool Updated() const {
    return test::ReadTable(Inst("glascat")).fields.size() == 3;
  }

  test::Desktop desktop_;
  std::string shots_;
  size_t glascat_ = 0;
};

// Points of the update dialog's client area, from its layout.
struct At {
  int x, y;
};
const At kUpdateTo = {UnitsAcross(70) + 20, UnitsDown(33) + 10};
const At kOk = {UnitsAcross(10) + 30, UnitsDown(55) + 10};

// E: is the update folder and D:, the dialog's default, an empty one: only a source
// the dialog stored from what was typed gets the update. The field is left by Tab and
// the update started by a mouse click on OK.
TEST_F(WindowTest, UpdateFromTheFolderTypedToTheEnd) {
  const std::string out =
      RunInstaller("D=" + scratch_.path() + "/empty;E=" + Upd(), [&](const std::string& dialog) {
        desktop_.Key("ctrl+a");
        desktop_.Type("e:\\");
        desktop_.Key("Tab");
        desktop_.Click(dialog, kOk.x, kOk.y);
      });
  EXPECT_EQ(out.find("[Alert]"), std::string::npos) << out;
  for (const char* name : {"update_dialog.png", "index_rebuild_window.png"}) {
    const std::string png = test::ReadFileBytes(shots_ + "/" + name);
    ASSERT_GT(png.size(), 8u) << name;
    EXPECT_EQ(png.substr(0, 8), std::string(kPngSignature, 8)) << name;
  }
  const test::TableData now = test::ReadTable(Inst("glascat"));
  EXPECT_EQ(now.fields.size(), 3u);
  EXPECT_EQ(now.rows.size(), glascat_);
  EXPECT_TRUE(pxdb::CheckCatalogue(Inst(), false).ok());
  EXPECT_TRUE(std::filesystem::exists(Inst("px_started")));
}

// However the source field is left, what was typed is what the update uses: a folder
// that does not exist is reported, and the update is not run from the default D:\.
TEST_F(WindowTest, TheFolderTypedIsTheFolderUsedHoweverTheFieldIsLeft) {
  const struct {
    const char* how;
    std::function<void(test::Desktop&, const std::string&)> leave;
  } cases[] = {
      {"Tab, then Enter",
       [](test::Desktop& d, const std::string&) { d.Key("Tab"), d.Key("Return"); }},
      {"Shift+Tab, then a click on OK",
       [](test::Desktop& d, const std::string& w) {
         d.Key("shift+Tab"), d.Click(w, kOk.x, kOk.y);
       }},
      {"a click into Update To, then on OK",
       [](test::Desktop& d, const std::string& w) {
         d.Click(w, kUpdateTo.x, kUpdateTo.y), d.Click(w, kOk.x, kOk.y);
       }},
      {"Enter", [](test::Desktop& d, const std::string&) { d.Key("Return"); }},
      {"Alt+O", [](test::Desktop& d, const std::string&) { d.Key("alt+o"); }},
      // An empty field is refused and keeps the focus: what is typed next goes into it.
      {"blank, Tab, then typed again",
       [](test::Desktop& d, const std::string&) {
         d.Key("ctrl+a"), d.Key("BackSpace"), d.Key("Tab"), d.Type("e:\\nowhere"), d.Key("Return");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    const std::string out = RunInstaller("D=" + Upd(), [&](const std::string& dialog) {
      desktop_.Key("ctrl+a");
      desktop_.Type("e:\\nowhere");
      c.leave(desktop_, dialog);
    });
    EXPECT_NE(out.find("[Alert] Unable to Access Directory: E:\\NOWHERE\n"), std::string::npos)
        << out;
    EXPECT_FALSE(Updated());
  }
}

TEST_F(WindowTest, EscapeAbandonsTheInstallation) {
  const std::string out =
      RunInstaller("D=" + Upd(), [&](const std::string&) { desktop_.Key("Escape"); });
  EXPECT_NE(out.find("[Alert] Installation Abandoned!\n"), std::string::npos) << out;
  EXPECT_FALSE(Updated());
  EXPECT_TRUE(std::filesystem::exists(Inst("px_started")));
}

}  // namespace
}  // namespace px
