#include <gtest/gtest.h>

#include "runtime/error.h"
#include "runtime/process_state.h"

namespace px {
namespace {

TEST(ErrorHandlerTest, QuietPolicy) {
  // Zero division gives 0 without a report.
  ErrorAnswer a = RaiseError(Error::Make("BASE", kErrZeroDiv, 1340));
  EXPECT_EQ(a.kind, ErrorAnswer::Kind::kValue);
  EXPECT_EQ(a.value, Value::Integer(0));

  // A sharing violation on open sets NETERR and answers default, quietly.
  Error open = Error::Make("DBFNTX", kErrOpen, 1001);
  open.os_code = 32;
  open.can_default = open.can_retry = true;
  EXPECT_FALSE(RaiseError(open).retry());
  EXPECT_TRUE(GetNetErr());
  SetNetErr(false);
  open.os_code = 5;
  RaiseError(open);
  EXPECT_TRUE(GetNetErr());

  // The same error without a default goes to the report hook.
  SetNetErr(false);
  open.can_default = false;
  RaiseError(open);
  EXPECT_FALSE(GetNetErr());
  ASSERT_EQ(RecordedErrors().size(), 1u);

  Error append = Error::Make("DBFNTX", kErrAppendLock, 1024);
  append.can_default = true;
  RaiseError(append);
  EXPECT_TRUE(GetNetErr());
  EXPECT_EQ(RecordedErrors().size(), 1u);

  Error missing = Error::Make("DBFNTX", kErrOpen, 1001);
  missing.os_code = 2;
  missing.can_default = true;
  RaiseError(missing);
  EXPECT_EQ(RecordedErrors().size(), 2u);
  EXPECT_EQ(RecordedErrors().back().tries, 1);
}

TEST(ErrorHandlerTest, RetryProtocolAndScopedHandlers) {
  int calls = 0;
  {
    ScopedErrorHandler scope([&](Error& e) {
      ++calls;
      return e.tries < 3 ? ErrorAnswer::Retry() : ErrorAnswer::Default();
    });
    Error e = Error::Make("DBFNTX", kErrCorruption, 1012);
    e.can_retry = true;
    int attempts = 1;
    while (RaiseError(e).retry()) ++attempts;
    EXPECT_EQ(attempts, 3);
    // A retry answer to an error that cannot be retried counts as default.
    Error no_retry = Error::Make("DBFNTX", kErrRead, 1010);
    EXPECT_FALSE(RaiseError(no_retry).retry());
  }
  EXPECT_EQ(calls, 4);
  // The standard handler is back.
  RaiseError(Error::Make("BASE", kErrArg, 1081));
  EXPECT_EQ(RecordedErrors().size(), 1u);
  EXPECT_EQ(calls, 4);
}

TEST(ErrorHandlerTest, ReportHookReplacesRecording) {
  std::vector<int> seen;
  SetReportHook([&](Error& e) {
    seen.push_back(e.gen_code);
    return ErrorAnswer::Substitute(Value::String("x"));
  });
  EXPECT_EQ(RaiseError(Error::Make("BASE", kErrArg, 1)).value, Value::String("x"));
  EXPECT_EQ(seen, std::vector<int>{kErrArg});
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST(ErrorMessageTest, Texts) {
  Error e = Error::Make("DBFNTX", kErrOpen, 1001);
  e.os_code = 2;
  e.filename = "customer.dbf";
  EXPECT_EQ(ERRORMESSAGE(e), "(DOS Error 2) DBFNTX/1001  Open error: customer.dbf");
  Error w = Error::Make("BASE", kErrNoVar, 1003);
  w.operation = "NAME";
  EXPECT_EQ(ERRORMESSAGE(w), "Error BASE/1003  Variable does not exist: NAME");
  w.severity = kSeverityWarning;
  w.subsystem.clear();
  EXPECT_EQ(ERRORMESSAGE(w), "Warning ?\?\?/1003  Variable does not exist: NAME");
}

TEST(QuitTest, RunsHooksAndExits) {
  EXPECT_EXIT(
      {
        AddQuitHook([] { fputs("first", stderr); });
        AddQuitHook([] { fputs("second-", stderr); });
        QuitProgram(1);
      },
      testing::ExitedWithCode(1), "second-first");
}

}  // namespace
}  // namespace px
