// Run-time error reporting: the handling order, the log, the dialog, quitting.
#include <filesystem>
#include <iostream>

#include "engine/workarea/commands.h"
#include "runtime/call_stack.h"
#include "runtime/date.h"
#include "runtime/env.h"
#include "runtime/memvars.h"
#include "runtime/process.h"
#include "runtime/process_state.h"
#include "runtime/settings.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"
#include "tests/ui/console_fixture.h"
#include "ui/button.h"
#include "ui/dialog.h"
#include "ui/error_dialog.h"
#include "ui/error_log.h"
#include "ui/errorsys.h"
#include "ui/list_box.h"
#include "ui/window.h"

namespace px {
namespace {

using test::ScratchDir;

class ErrorSysTest : public test::ConsoleUiTest {
 protected:
  ErrorSysTest() { ERRORSYS(); }
};

Error OpenError() {
  Error e = Error::Make("DBFNTX", kErrOpen, 1001);
  e.os_code = 2;
  e.filename = "customer.dbf";
  e.can_retry = true;
  e.can_default = true;
  return e;
}

// Runs fn inside a running main window, as the update driver runs.
void InMainWindow(const std::function<void()>& fn) {
  auto w = TWindow::New();
  TWindowActivateArgs act;
  act.on_init = [&](TWindow& win) {
    fn();
    win.End();
  };
  w->Activate(act);
}

TEST(ErrorMessageTest, ExampleWithDosErrorAndFile) {
  Error e = OpenError();
  EXPECT_EQ(ERRORMESSAGE(e), "(DOS Error 2) DBFNTX/1001  Open error: customer.dbf");
  e.os_code = 0;
  e.filename.clear();
  e.operation = "DBUSEAREA";
  EXPECT_EQ(ERRORMESSAGE(e), "Error DBFNTX/1001  Open error: DBUSEAREA");
}

TEST_F(ErrorSysTest, QuietCasesShowNothingAndWriteNoLog) {
  ScratchDir dir;
  const ErrorAnswer zero = RaiseError(Error::Make("BASE", kErrZeroDiv, 1340));
  EXPECT_EQ(zero.kind, ErrorAnswer::Kind::kValue);
  EXPECT_EQ(zero.value, Value::Integer(0));

  Error sharing = Error::Make("DBFNTX", kErrOpen, 1001);
  sharing.os_code = 32;
  sharing.can_default = true;
  EXPECT_FALSE(RaiseError(sharing).retry());
  EXPECT_TRUE(GetNetErr());

  SetNetErr(false);
  Error append = Error::Make("DBFNTX", kErrAppendLock, 1024);
  append.can_default = true;
  RaiseError(append);
  EXPECT_TRUE(GetNetErr());

  EXPECT_TRUE(TakeLines().empty());
  EXPECT_EQ(test::FileSize(dir.File("Error.log")), -1);
}

TEST_F(ErrorSysTest, DefaultAndRetryAnswersWriteTheLog) {
  ScratchDir dir;
  CallStep main("MAIN", 30);
  CallStep update("UPDATE1", 120);
  GetMemVars().Set("TTODRVPTH", Value::String("C:\\PX\\"));
  InMainWindow([&] {
    Error e = OpenError();
    backend_.Script({{}, "Default", nullptr});
    EXPECT_EQ(RaiseError(e).kind, ErrorAnswer::Kind::kDefault);
    backend_.Script({{}, "retry", nullptr});
    EXPECT_TRUE(RaiseError(e).retry());
  });
  const std::string log = test::ReadFileBytes(dir.File("Error.log"));
  EXPECT_NE(
      log.find("   Error description: (DOS Error 2) DBFNTX/1001  Open error: customer.dbf\r\n"),
      std::string::npos);
  EXPECT_NE(log.find("   Called from UPDATE1(120)\r\n   Called from MAIN(30)\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("TTODRVPTH"), std::string::npos);
  const std::vector<std::string> lines = TakeLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string("[") + kErrorDialogCaption +
                          "] (DOS Error 2) DBFNTX/1001  Open error: customer.dbf | Stack List");
}

TEST_F(ErrorSysTest, LogsGoToTheLogFolderWhateverFolderIsCurrent) {
  ScratchDir dir(ScratchDir::DeathTestChild::kParentsFolder);
  ScopedErrorLogFolder folder(dir.path());
  std::filesystem::create_directories(dir.File("temp"));
  ASSERT_EQ(GetEnv()->ChangeDir("temp"), 0);
  InMainWindow([&] {
    backend_.Script({{}, "Default", nullptr});
    RaiseError(OpenError());
  });
  EXPECT_EQ(test::FileSize(dir.File("temp/Error.log")), -1);
  EXPECT_NE(test::ReadFileBytes(dir.File("Error.log")).find("Open error"), std::string::npos);
  EXPECT_EQ(ErrorLogViewerLine(), "Notepad.exe \"" + dir.File("Error.log") + "\"");
  EXPECT_EXIT(UnrecoverableError(9000, "Not enough room for index buffer"),
              testing::ExitedWithCode(1), "");
  EXPECT_EQ(test::ReadFileBytes(dir.File("Error.log")), "Not enough room for index buffer\r\n");
}

TEST_F(ErrorSysTest, RetryWithoutARunningMainWindowQuits) {
  EXPECT_EXIT(
      {
        ScratchDir dir;
        Error e = OpenError();
        backend_.Script({{}, "Retry", nullptr});
        RaiseError(e);
      },
      testing::ExitedWithCode(1), "");
}

TEST_F(ErrorSysTest, QuitOrNoAnswerEndsTheProgramWithCodeOne) {
  EXPECT_EXIT(
      {
        ScratchDir dir;
        InMainWindow([] { RaiseError(OpenError()); });
      },
      testing::ExitedWithCode(1), "");
}

TEST_F(ErrorSysTest, ErrorInsideTheDialogEndsTheProgram) {
  EXPECT_EXIT(
      {
        ScratchDir dir;
        InMainWindow([&] {
          backend_.Script({{}, "Default", [](TDialog&) {
                             RaiseError(Error::Make("BASE", kErrArg, 1081));
                             std::cerr << "not reached";
                           }});
          RaiseError(OpenError());
        });
      },
      testing::ExitedWithCode(1), "^$");
}

// Digits in a death test's pattern (gtest on Windows knows only simple expressions).
#ifdef GTEST_USES_SIMPLE_RE
constexpr const char* kDigits = "\\d+";
#else
constexpr const char* kDigits = "[0-9]+";
#endif

class RaisingObject : public Object {
 public:
  std::string ClassName() const override {
    RaiseError(Error::Make("BASE", kErrNoMethod, 1004));
    return "never";
  }
};

TEST(ErrorSysDeathTest, ErrorWhileWritingTheLogShowsAStopBox) {
  EXPECT_EXIT(
      {
        ConsoleBackend::Options o;
        o.out = &std::cerr;
        ConsoleBackend backend(o);
        ScopedUiBackend scope(&backend);
        ERRORSYS();
        ScratchDir dir;
        GetMemVars().Set("OWND", Value::MakeObject(std::make_shared<RaisingObject>()));
        RaiseError(OpenError());
      },
      testing::ExitedWithCode(1),
      std::string("\\[Stop\\] Error BASE/1004  No exported method from Errorsys, line: *") +
          kDigits);
}

TEST(ErrorSysDeathTest, UnrecoverableErrorWritesItsTextAndStops) {
  EXPECT_EXIT(
      {
        ConsoleBackend::Options o;
        o.out = &std::cerr;
        ConsoleBackend backend(o);
        ScopedUiBackend scope(&backend);
        ERRORSYS();
        ScratchDir dir;
        test::WriteFileBytes(dir.File("done.txt"), "");
        UnrecoverableError(9000, "Not enough room for index buffer");
      },
      testing::ExitedWithCode(1),
      "\\[Unrecoverable error 9000: \\] Not enough room for index buffer");
  ScratchDir dir(ScratchDir::DeathTestChild::kParentsFolder);
  EXPECT_EXIT(
      {
        ERRORSYS();
        UnrecoverableError(9000, "Not enough room for index buffer");
      },
      testing::ExitedWithCode(1), "");
  EXPECT_EQ(test::ReadFileBytes(dir.File("error.log")), "Not enough room for index buffer\r\n");
}

TEST(ErrorDialogTest, ButtonLayoutForEachCombination) {
  using Cols = std::vector<std::pair<std::string, int>>;
  auto cols = [](const ErrorDialogLayout& l) {
    Cols out;
    for (const auto& b : l.buttons) out.emplace_back(b.caption, b.col);
    return out;
  };
  EXPECT_EQ(cols(ErrorDialogLayoutFor(false, false)), (Cols{{"&Quit", 60}}));
  EXPECT_EQ(cols(ErrorDialogLayoutFor(true, false)), (Cols{{"&Quit", 37}, {"&Retry", 82}}));
  EXPECT_EQ(cols(ErrorDialogLayoutFor(false, true)), (Cols{{"&Quit", 37}, {"&Default", 108}}));
  EXPECT_EQ(cols(ErrorDialogLayoutFor(true, true)),
            (Cols{{"&Retry", 13}, {"&Quit", 60}, {"&Default", 108}}));

  const ErrorDialogLayout classic = ErrorDialogLayoutFor(true, true, false);
  EXPECT_EQ(classic.width, 300);
  EXPECT_EQ(classic.height, 200);
  EXPECT_EQ(classic.list.height, 60);
  EXPECT_EQ(classic.buttons[0].row, 88);
  EXPECT_EQ(classic.buttons[0].width, 30);
  EXPECT_EQ(classic.buttons[0].height, 11);
  const ErrorDialogLayout nt = ErrorDialogLayoutFor(true, true, true);
  EXPECT_EQ(nt.height, 250);
  EXPECT_EQ(nt.list.height, 78);
  EXPECT_EQ(nt.buttons[0].row, 112);
  EXPECT_EQ(classic.see_log.caption, "See Error.log file");
  EXPECT_EQ(classic.see_log.row, 21);
  EXPECT_EQ(classic.see_log.col, 100);
  EXPECT_EQ(classic.list.row, 33);
  EXPECT_EQ(classic.list.width, 145);
}

TEST_F(ErrorSysTest, DialogShowsStackListWithFirstLineSelected) {
  Error e = OpenError();
  e.can_retry = false;
  std::vector<std::string> captions;
  std::vector<std::string> items;
  int selected = -1;
  int width = 0, height = 0;
  backend_.Script({{}, "Quit", [&](TDialog& d) {
                     width = d.width();
                     height = d.height();
                     for (const auto& c : d.controls()) {
                       if (c->kind() == TControl::Kind::kButton) {
                         captions.push_back(static_cast<TButton&>(*c).caption() + "@" +
                                            std::to_string(c->left()));
                       } else if (c->kind() == TControl::Kind::kListBox) {
                         items = static_cast<TListBox&>(*c).items();
                         selected = static_cast<TListBox&>(*c).selected();
                       }
                     }
                   }});
  EXPECT_EQ(RunErrorDialog(e, {"   Called from A(1)", "   Called from B(2)"}), ErrorChoice::kQuit);
  EXPECT_EQ(width, 300);
  EXPECT_EQ(height, 250);
  EXPECT_EQ(captions,
            (std::vector<std::string>{"&Quit@74", "&Default@216", "See Error.log file@200"}));
  EXPECT_EQ(items.size(), 2u);
  EXPECT_EQ(selected, 1);
}

// Starts nothing, as where no viewer is installed.
class NothingStarts : public ProcessRunner {
 public:
  LaunchResult Run(const LaunchRequest&, bool, const std::function<void()>&,
                   const std::function<void()>&) override {
    LaunchResult r;
    r.os_code = kOsFileNotFound;
    return r;
  }
};

TEST_F(ErrorSysTest, LogIsShownByTheInstallerWhenNoViewerIsInstalled) {
  NothingStarts runner;  // Windows always has Notepad
  ScopedProcessRunner scope(&runner);
  test::ScratchDir dir;
  test::WriteFileBytes(dir.File("Error.log"), "Application\r\n===========\r\n");
  backend_.Script({{}, "See Error.log file", nullptr});
  backend_.Script({{}, "Quit", nullptr});
  EXPECT_EQ(RunErrorDialog(OpenError(), {}), ErrorChoice::kQuit);
  const std::vector<std::string> lines = TakeLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1], "[Error.log] ");
  EXPECT_EQ(lines[2], "Application\r");
}

TEST(ErrorLogTest, SectionsAndFormats) {
  ErrorLogFacts f;
  f.program.path = "/opt/px/pxupdate";
  f.program.size = 1234567;
  f.program.bits = 64;
  f.program.seconds_running = 3725;
  f.program.memory_bytes = 2048000;
  f.program.peak_memory_bytes = 4096000;
  f.system.cpu_name = "Test CPU";
  f.system.cpu_mhz = 2200;
  f.system.memory_mb = 24000;
  f.system.memory_free_percent = 50;
  f.system.handles_free_percent = 99;
  f.system.tasks_free_percent = 98;
  f.system.os_major = 6;
  f.system.os_minor = 1;
  f.system.os_release = "6.1.0-18-amd64";
  f.system.os_version = "#1 SMP";
  f.system.tasks = {"bash", "pxupdate"};
  f.date = DateFromYmd(2024, 3, 7);
  f.time.hour = 9;
  f.time.minute = 5;
  f.time.second = 3;
  f.compiler = "GCC 12.2.0";
  f.stack = {{"UPDATE1", 12}, {"", 0}, {"MAIN", 3}};
  f.memvars = {{"LDEBUG", Value::Logical(false)}, {"_NETWORK", Value::String("")}};
  f.drivers = {"DBF", "DBFNTX"};
  AreaFacts a;
  a.number = 1;
  a.selected = true;
  a.alias = "INDEXDEF";
  a.driver = "DBFNTX";
  a.recno = 3;
  a.reccount = 12;
  a.orders = {{"DB_ALIAS", "indexdef", true}, {"UPPER(DB_FILE)", "idx2", false}};
  f.areas = {a};
  f.classes = {"TWINDOW"};
  GetSettings().date_format = "dd/mm/yy";

  Error e = OpenError();
  e.args = {Value::String("customer"), Value::Integer(7)};
  const std::string log = BuildErrorLog(e, f);
  const std::string expected_head =
      "Application\r\n===========\r\n"
      "   Path and name: /opt/px/pxupdate (64 bits)\r\n"
      "   Size: 1,234,567 bytes\r\n"
      "   Time from start: 01:02:05\r\n"
      "   Error occurred at: 07/03/24, 09:05:03\r\n"
      "   Error description: (DOS Error 2) DBFNTX/1001  Open error: customer.dbf\r\n"
      "   Args:\r\n"
      "     [   1] = C   customer\r\n"
      "     [   2] = N   7\r\n"
      "\r\nStack Calls\r\n===========\r\n"
      "   Called from UPDATE1(12)\r\n"
      "   Called from MAIN(3)\r\n"
      "\r\nSystem\r\n======\r\n"
      "   CPU type: Test CPU 2200 Mhz\r\n"
      "   Hardware memory: 24000 megs\r\n";
  EXPECT_EQ(log.substr(0, expected_head.size()), expected_head);
  for (const char* piece :
       {"   Free System resources: 50 %\r\n        GDI    resources: 99 %\r\n"
        "        User   resources: 98 %\r\n",
        "   Compiler version: GCC 12.2.0\r\n",
        "   Windows version: 6.1, Build 6.1.0-18-amd64 #1 SMP\r\n",
        "   Windows total applications running: 2\r\n      1 bash\r\n      2 pxupdate\r\n",
        "Variables in use\r\n================\r\n    Procedure     Type   Value\r\n",
        "     Memvar   1:    L    LDEBUG       .F.\r\n",
        "Linked RDDs\r\n===========\r\n   DBF\r\n   DBFNTX\r\n",
        "DataBases in use\r\n================\r\n\r\n  1: => INDEXDEF       ",
        "                    RddName: DBFNTX\r\n     ==============================\r\n"
        "     RecNo    RecCount    BOF   EOF\r\n         3         12      .F.   .F.\r\n",
        "     Indexes in use                        TagName\r\n"
        "        => DB_ALIAS                           indexdef\r\n"
        "           UPPER(DB_FILE)                     idx2\r\n",
        "     Relations in use\r\n", "Classes in use:\r\n===============\r\n     1 TWINDOW\r\n",
        "Memory Analysis\r\n===============\r\n      2 Static variables\r\n",
        "      Actual  Value: 2,048,000 bytes\r\n      Highest Value: 4,096,000 bytes\r\n"}) {
    EXPECT_NE(log.find(piece), std::string::npos) << piece;
  }
  // Every line ends in CR LF.
  for (size_t i = log.find('\n'); i != std::string::npos; i = log.find('\n', i + 1)) {
    ASSERT_EQ(log[i - 1], '\r');
  }
}

TEST(ErrorLogTest, NumbersAndStackLimits) {
  EXPECT_EQ(GroupedNumber(0), "        0");
  EXPECT_EQ(GroupedNumber(999), "      999");
  EXPECT_EQ(GroupedNumber(1000), "    1,000");
  EXPECT_EQ(GroupedNumber(9999999), "9,999,999");
  EXPECT_EQ(GroupedNumber(123456789), "123,456,789");
  std::vector<CallFrame> deep(100, CallFrame{"STEP", 1});
  EXPECT_EQ(StackLines(deep).size(), 72u);
}

TEST(ErrorLogTest, GatheredFactsDescribeThisProcess) {
  CallStep step("GATHER", 5);
  GetMemVars().Set("X", Value::Integer(1));
  const ErrorLogFacts f = GatherErrorLogFacts();
  EXPECT_NE(f.program.path.find("ui_tests"), std::string::npos);
  ASSERT_EQ(f.stack.size(), 1u);
  EXPECT_EQ(f.stack[0].name, "GATHER");
  EXPECT_EQ(f.memvars.size(), 1u);
  EXPECT_FALSE(f.compiler.empty());
  const std::string log = BuildErrorLog(OpenError(), f);
  EXPECT_NE(log.find("Memory Analysis"), std::string::npos);
}

TEST(ErrorLogTest, GatheredFactsListTheOpenWorkAreas) {
  ScratchDir dir;
  GetSettings().deleted = true;
  ASSERT_TRUE(test::CreateTable("quotes.dbf", {{"QNO", 'N', 8, 0}}));
  ASSERT_TRUE(test::UseTable("quotes"));
  for (int i = 0; i < 3; ++i) DBAPPEND();
  const ErrorLogFacts f = GatherErrorLogFacts();
  ASSERT_FALSE(f.areas.empty());
  EXPECT_EQ(f.areas[0].number, 1);
  EXPECT_EQ(f.areas[0].alias, "QUOTES");
  EXPECT_EQ(f.areas[0].driver, "DBFNTX");
  EXPECT_EQ(f.areas[0].reccount, 3u);
  EXPECT_TRUE(RecordedErrors().empty());
  const std::string log = BuildErrorLog(OpenError(), f);
  EXPECT_NE(log.find("QUOTES"), std::string::npos);
}

}  // namespace
}  // namespace px
