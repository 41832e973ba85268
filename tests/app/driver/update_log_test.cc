// update.log: the section each run of the installer appends, compared line by line with
// what the run did; a run killed midway, a cancelled one, and a log that cannot be
// written. Also the installer's and the tools' --help and --version.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>

#include "app/driver/main.h"
#include "app/driver/update_log.h"
#include "app/driver/update_log_recorder.h"
#include "runtime/dos_path.h"
#include "tests/app/driver/driver_fixture.h"
#include "tests/child_process.h"
#include "tests/forked_process.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/pxdb.h"

namespace px {
namespace {

using test::FieldSpec;
using test::OpenElsewhere;
using test::Row;

// The lines of update.log, without their CR LF.
std::vector<std::string> LogLines(const std::string& path) {
  const std::string text = test::ReadFileBytes(path);
  std::vector<std::string> lines;
  size_t from = 0;
  for (size_t eol; (eol = text.find("\r\n", from)) != std::string::npos; from = eol + 2) {
    lines.push_back(text.substr(from, eol - from));
  }
  EXPECT_EQ(from, text.size()) << "a line without CR LF";
  return lines;
}

// The lines of the last section (from its "==== Update started" line).
std::vector<std::string> LastSection(const std::vector<std::string>& lines) {
  size_t start = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].starts_with("==== Update started ")) start = i;
  }
  return {lines.begin() + static_cast<std::ptrdiff_t>(start), lines.end()};
}

// Compares a section with the expected lines; an expected line ending in "*" matches
// any line with that beginning (times, sizes, CRCs).
void ExpectSection(const std::vector<std::string>& got, const std::vector<std::string>& want) {
  for (size_t i = 0; i < std::max(got.size(), want.size()); ++i) {
    const std::string g = i < got.size() ? got[i] : "(none)";
    const std::string w = i < want.size() ? want[i] : "(none)";
    if (!w.empty() && w.back() == '*') {
      EXPECT_TRUE(g.starts_with(w.substr(0, w.size() - 1))) << "line " << i + 1 << ": " << g;
    } else {
      EXPECT_EQ(g, w) << "line " << i + 1;
    }
  }
}

class UpdateLogTest : public test::DriverTest {
 protected:
  // An installation with customer (whose update narrows NAME and AMOUNT and drops FAX)
  // and glastype (replaced with the records the update brings); the update also adds
  // promo.
  void MakeScenario() {
    MakeInstallation();
    AddTable("customer",
             {{"CODE", 'C', 6}, {"NAME", 'C', 20}, {"FAX", 'C', 10}, {"AMOUNT", 'N', 5}},
             {{{"CODE", Value::String("A1")}, {"NAME", Value::String("Short")}},
              {{"CODE", Value::String("A2")},
               {"NAME", Value::String("A rather long name")},
               {"AMOUNT", Value::Integer(12345)}},
              {{"CODE", Value::String("A3")}, {"NAME", Value::String("Another long one")}},
              {{"CODE", Value::String("A4")}, {"AMOUNT", Value::Integer(999)}}},
             {{"custcode", "CODE"}});
    AddTable("glastype", {{"CODE", 'C', 6}},
             {{{"CODE", Value::String("4CL")}},
              {{"CODE", Value::String("5CL")}},
              {{"CODE", Value::String("6CL")}}},
             {{"glascode", "CODE"}});
    IndexCatalogue();
    MakeUpdate(
        {{.name = "customer",
          .fields = {{"CODE", 'C', 6}, {"NAME", 'C', 10}, {"AMOUNT", 'N', 3}, {"EMAIL", 'C', 30}}},
         {.name = "glastype",
          .bring_recs = true,
          .fields = {{"CODE", 'C', 8}, {"DESC", 'C', 20}},
          .rows = {{{"CODE", Value::String("4CL")}}, {{"CODE", Value::String("8LAM")}}}},
         {.name = "promo",
          .fields = {{"CODE", 'C', 6}},
          .rows = {{{"CODE", Value::String("SPRING")}}}}},
        {{"logo.bmp", "shipped logo"},
         {"frame.bmp", "new picture"},
         {"pxhelp.exe", "program"},
         {"KVRZIPDLL.DLL", "zip library"},
         {"pxprint.dll", "library"}});
  }

  std::vector<std::string> RunInstaller(const DialogAnswer& answer) {
    backend_.Script(answer);
    MAIN();
    if (chdir(Inst().c_str()) != 0) ADD_FAILURE();
    return TakeLines();
  }

  // The alerts the console showed, as the log writes them.
  static std::vector<std::string> AlertsShown(const std::vector<std::string>& console) {
    std::vector<std::string> alerts;
    for (const std::string& line : console) {
      if (line.starts_with("[Alert] ")) alerts.push_back("Alert: " + line.substr(8));
    }
    return alerts;
  }

  std::string LogPath() const { return Inst("update.log"); }
};

TEST_F(UpdateLogTest, CompletedUpdateIsLoggedLineByLine) {
  MakeScenario();
  const std::vector<std::string> console = RunInstaller(test::Answer({"D:\\"}, "OK"));
  const std::vector<std::string> lines = LogLines(LogPath());

  // The alerts of the log are the alerts shown, in order.
  std::vector<std::string> logged_alerts;
  std::vector<std::string> facts;
  for (const std::string& line : lines) {
    if (line.starts_with("Alert: ")) {
      logged_alerts.push_back(line);
    } else if (!line.starts_with("Repair ") && !line.starts_with("Error: ")) {
      facts.push_back(line);
    }
  }
  EXPECT_EQ(logged_alerts, AlertsShown(console));

  const std::string pkzip_code = test::PkzipBinary().empty() ? "*" : "0)";
  ExpectSection(
      facts, {"==== Update started *",
              "Installation: " + HostToDos(Inst()),
              "Source: D:\\ (" + Upd() + ")",
              "Backup: backup\\PXB1.zip (zip program exit code " + pkzip_code,
              "Archive: D:\\PXUPD.zip, " +
                  std::to_string(std::filesystem::file_size(Upd("PXUPD.zip"))) + " bytes, CRC *",
              "Bitmaps installed: frame.bmp",
              "Table customer: rebuilt with the new structure, 4 records before, 4 records after",
              "  fields added: EMAIL C 30",
              "  fields dropped: FAX",
              "  fields narrowed: NAME C 20 -> C 10, AMOUNT N 5 -> N 3",
              "  values not stored in NAME: 2 cut, records 2, 3",
              "  values not stored in AMOUNT: 1 written as asterisks (too wide), records 2",
              "Table glastype: copied from the update (it brings its records), 3 records before, 2 "
              "records after",
              "  fields added: DESC C 20",
              "  fields widened: CODE C 6 -> C 8",
              "Table promo: copied from the update (not installed before), 1 record after",
              "Indexes: 3 rebuilt, 0 failed",
              "Program files installed: pxhelp.exe",
              "Libraries installed: pxprint.dll",
              "Outcome: completed",
              "==== Update ended *"});
  // The records named are the ones whose text the table now holds cut.
  const test::TableData customer = test::ReadTable(Inst("customer"));
  ASSERT_EQ(customer.rows.size(), 4u);
  EXPECT_EQ(test::Text(customer.rows[1].at("NAME")), "A rather l");
  EXPECT_EQ(test::Text(customer.rows[2].at("NAME")), "Another lo");
  EXPECT_EQ(test::Text(customer.rows[0].at("NAME")), "Short");
  // The asterisks are the one error the run reported.
  std::vector<std::string> errors;
  for (const std::string& line : lines) {
    if (line.starts_with("Error: ")) errors.push_back(line);
  }
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("AMOUNT"), std::string::npos) << errors[0];

  // The next run appends its own section after this one.
  MakeUpdate({});
  RunInstaller(test::Answer({"D:\\"}, "OK"));
  const std::vector<std::string> both = LogLines(LogPath());
  EXPECT_EQ(std::vector<std::string>(both.begin(), both.begin() + lines.size()), lines);
  EXPECT_EQ(LastSection(both).back().substr(0, 17), "==== Update ended");
  EXPECT_EQ(LastSection(both)[LastSection(both).size() - 2], "Outcome: completed");
}

// How a run that does not complete ends its section: cancelled, refused by a check, or
// cut short by a folder that cannot be entered.
TEST_F(UpdateLogTest, OutcomeSaysWhereTheUpdateStopped) {
  MakeScenario();
  const std::string in_use =
      "CUSTOMER.DBF is in use on another workstation. Close ParVex "
      "everywhere and run the update again. Nothing has been updated.";
  const std::string no_source = "Unable to Access Directory: D:\\NOWHERE";
  struct Case {
    DialogAnswer answer;
    bool hold_customer;
    std::vector<std::string> tail;  // the last lines of the section
  } cases[] = {
      {test::Press("Cancel"),
       false,
       {"Installation: *", "Alert: Installation Abandoned!", "Outcome: abandoned by the user"}},
      {test::Answer({"D:\\"}, "OK"),
       true,
       {"Alert: " + in_use, "Outcome: stopped in phase 5 (target folder) by: " + in_use}},
      {test::Answer({"D:\\NOWHERE"}, "OK"),
       false,
       {"Alert: Unable to Access Temp Directory",
        "Outcome: stopped in phase 16 (program files) by: Unable to Access Temp Directory "
        "(earlier, phases 4 to 12 were passed over after: " +
            no_source + ")"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tail.back());
    {
      // Another workstation has the table open, as the application opens it.
      std::optional<OpenElsewhere> other;
      if (c.hold_customer) {
        other.emplace(Inst("customer.dbf"));
        ASSERT_TRUE(other->holding());
      }
      RunInstaller(c.answer);
    }
    std::vector<std::string> section = LastSection(LogLines(LogPath()));
    ASSERT_GT(section.size(), c.tail.size());
    EXPECT_TRUE(section.back().starts_with("==== Update ended ")) << section.back();
    section.pop_back();
    ExpectSection({section.end() - static_cast<std::ptrdiff_t>(c.tail.size()), section.end()},
                  c.tail);
  }
}

TEST_F(UpdateLogTest, KilledRunIsNotedByTheNextOne) {
  MakeScenario();
  // A run killed while it puts the first migrated table in place.
  test::ForkedProcess child([&](test::Channel&) {
    class KillAtRename : public EnvWrapper {
     public:
      using EnvWrapper::EnvWrapper;
      int ReplaceFile(std::string_view from, std::string_view to) override {
        if (from.find("zztemp") != std::string_view::npos) test::KillThisProcess();
        return EnvWrapper::ReplaceFile(from, to);
      }
      int RenameFile(std::string_view from, std::string_view to) override {
        if (from.find("zztemp") != std::string_view::npos) test::KillThisProcess();
        return EnvWrapper::RenameFile(from, to);
      }
    } env(GetEnv());
    ScopedEnv scope(&env);
    RunInstaller(test::Answer({"D:\\"}, "OK"));
    return 0;
  });
  ASSERT_TRUE(child.started());
  EXPECT_EQ(child.Join(), -1);  // killed
  const std::vector<std::string> killed = LastSection(LogLines(LogPath()));
  ASSERT_GE(killed.size(), 4u);
  EXPECT_EQ(killed[2], "Source: D:\\ (" + Upd() + ")");
  EXPECT_FALSE(killed.back().starts_with("==== Update ended"));
  EXPECT_FALSE(killed.back().starts_with("Outcome:"));

  // The next run says so and finishes the update.
  RunInstaller(test::Answer({"D:\\"}, "OK"));
  const std::vector<std::string> next = LastSection(LogLines(LogPath()));
  ASSERT_GE(next.size(), 3u);
  EXPECT_EQ(next[1], "Unfinished: the update started " + killed[0].substr(20) +
                         " did not end its section (it was killed or the computer stopped); "
                         "the lines above are all it wrote.");
  EXPECT_EQ(next[3],
            "Start: finished putting in place the tables an interrupted update had left in "
            "zzrename.jnl");
  EXPECT_EQ(next[next.size() - 2], "Outcome: completed");
}

TEST_F(UpdateLogTest, LogThatCannotBeWrittenDoesNotStopTheUpdate) {
  MakeScenario();
  std::filesystem::create_directories(LogPath());  // a folder where the log should be
  testing::internal::CaptureStderr();
  const std::vector<std::string> console = RunInstaller(test::Answer({"D:\\"}, "OK"));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("update log"), std::string::npos) << err;
  EXPECT_EQ(err.find("update log"), err.rfind("update log")) << "reported more than once";
  EXPECT_EQ(test::ReadTable(Inst("customer")).fields.size(), 4u);
  EXPECT_TRUE(test::ReadTable(Inst("customer")).Has("EMAIL"));
  EXPECT_NE(FindLine(console, "Databases Updated"), -1);
}

// Quit in the error dialog ends the program at once: the section still gets its outcome
// and its end line.
TEST(UpdateLogQuitTest, QuitAfterAnErrorEndsTheSection) {
  test::ScratchDir dir;
  std::fflush(nullptr);
  test::ForkedProcess child([&](test::Channel&) {
    SetReportHook([](Error&) -> ErrorAnswer { QuitProgram(7); });
    UpdateLog log(dir.path());
    UpdateLogRecorder recorder(log);
    log.Phase(12, "table migration");
    Error e = Error::Make("DBFNTX", kErrOpen, 1001);
    e.filename = "customer.dbf";
    RaiseError(e);
    return 0;
  });
  ASSERT_TRUE(child.started());
  EXPECT_EQ(child.Join(), 7);
  const std::string error = "Error DBFNTX/1001  Open error: customer.dbf";
  ExpectSection(
      LogLines(dir.File("update.log")),
      {"==== Update started *", "Installation: *", "Error: " + error,
       "Outcome: stopped in phase 12 (table migration) by: error " + error, "==== Update ended *"});
}

// --help and --version print and end without touching the folder; the installer
// refuses every other argument.
TEST(ProgramOptionsTest, HelpAndVersionLeaveTheFolderAlone) {
  test::ScratchDir dir;
  const std::string out = dir.path() + "/../pxlog_options.out";
  struct Case {
    std::string program;
    std::string arg;
    int code;
    std::string output;  // the start of standard output
  } cases[] = {
      {PX_PXUPDATE_BINARY, "--help", 0, "usage: pxupdate"},
      {PX_PXUPDATE_BINARY, "--version", 0, "pxupdate "},
      {PX_PXUPDATE_BINARY, "--start", 2, ""},
      {PX_PXUPDATE_BINARY, "D:\\", 2, ""},
      {PX_PXDB_BINARY, "--version", 0, "pxdb "},
      {PX_PXDB_BINARY, "--help", 0, "pxdb"},
#ifdef PX_PKZIP_BINARY
      {PX_PKZIP_BINARY, "--help", 0, "usage: pkzip"},
      {PX_PKZIP_BINARY, "--version", 0, "pkzip "},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program + " " + c.arg);
    // An installation folder: a refused or informative start must not run the update.
    test::WriteFileBytes(dir.path() + "/indexdef.dbf", "not touched");
    EXPECT_EQ(test::RunProgram({c.program, c.arg}, {"PX_UI=console"}, dir.path(), out), c.code);
    EXPECT_TRUE(test::ReadFileBytes(out).starts_with(c.output)) << test::ReadFileBytes(out);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"indexdef.dbf"});
    EXPECT_EQ(test::ReadFileBytes(dir.path() + "/indexdef.dbf"), "not touched");
  }
  std::filesystem::remove(out);
}

// Every pxdb command explains itself with an example of its own.
TEST(ProgramOptionsTest, EveryPxdbCommandHelpHasAnExample) {
  for (const pxdb::CommandInfo& info : pxdb::CommandTable()) {
    SCOPED_TRACE(info.name);
    std::istringstream in;
    std::ostringstream out, err;
    EXPECT_EQ(pxdb::RunPxdb({info.name, "--help"}, in, out, err), 0);
    EXPECT_NE(out.str().find(info.summary), std::string::npos) << out.str();
    EXPECT_NE(out.str().find(std::string("Example:\n  pxdb ")), std::string::npos) << out.str();
    EXPECT_NE(out.str().find(" " + std::string(info.name) + " "), std::string::npos);
  }
}

}  // namespace
}  // namespace px
