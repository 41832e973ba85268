// Reading a memo text when the OS fails a read or cuts it short: the get raises "Read
// error" naming the memo file and never hands back a cut or empty text as if it were
// the stored one.
#include <gtest/gtest.h>

#include <string>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/error.h"
#include "tests/engine/counting_fault_env.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

TEST(MemoReadFaultTest, FailedOrShortReadRaisesInsteadOfCuttingTheText) {
  test::ScratchDir dir;
  SetReportHook(nullptr);
  ASSERT_TRUE(test::CreateTable("notes.dbf", {test::Field("NOTE", 'M', 10)}));
  // Long enough to take several reads, and the last text of the file: its end mark
  // is followed by nothing.
  const std::string text(5000, 'n');
  ASSERT_TRUE(test::UseTable("notes.dbf"));
  ASSERT_TRUE(DBAPPEND());
  FIELDPUT(1, Value::String(text));
  DBCLOSEALL();

  test::CountingFaultEnv env;
  ScopedEnv scoped(&env);
  for (test::FaultMode mode : {test::FaultMode::kFail, test::FaultMode::kShort}) {
    for (int64_t n = 1;; ++n) {
      ASSERT_TRUE(test::UseTable("notes.dbf", "", /*shared=*/true));
      DBGOTO(1);
      ClearRecordedErrors();
      env.Arm(n, mode);
      const Value got = FIELDGET(1);
      const bool fired = env.fired();
      env.Disarm();
      DBCLOSEALL();
      if (!fired) break;
      if (RecordedErrors().empty()) {
        EXPECT_EQ(got.str(), text) << "op " << n;
      } else {
        EXPECT_EQ(RecordedErrors().front().gen_code, kErrRead) << "op " << n;
        EXPECT_FALSE(got.is_string() && got.str() != text) << "op " << n << ": a cut text";
      }
    }
  }
}

}  // namespace
}  // namespace px
