// Recovery points, BREAK, the debug trace and watching errors.
#include <gtest/gtest.h>

#include "app/driver/error_watch.h"
#include "app/driver/msgdebug.h"
#include "app/driver/recovery.h"
#include "engine/workarea/commands.h"
#include "runtime/error.h"
#include "runtime/memvars.h"
#include "tests/app/driver/driver_fixture.h"

namespace px {
namespace {

using test::DriverTest;

TEST(RecoveryTest, BreakEndsOnlyTheInnermostStretch) {
  std::vector<std::string> trail;
  const bool outer = RecoveryPoint([&] {
    trail.push_back("outer");
    const bool inner = RecoveryPoint([&] {
      trail.push_back("inner");
      BREAK();
      trail.push_back("never");
    });
    trail.push_back(inner ? "inner ran" : "inner broke");
  });
  EXPECT_TRUE(outer);
  EXPECT_EQ(trail, (std::vector<std::string>{"outer", "inner", "inner broke"}));
  EXPECT_FALSE(RecoveryPoint([] { BREAK(); }));
}

TEST(RecoveryTest, OtherExceptionsPassThrough) {
  EXPECT_THROW(RecoveryPoint([] { throw std::runtime_error("not a break"); }), std::runtime_error);
}

class DebugTraceTest : public DriverTest {};

TEST_F(DebugTraceTest, SilentUnlessTheFlagIsOn) {
  MSGDEBUG("Opened UPDATDEF");  // no LDEBUG at all
  GetMemVars().Set("LDEBUG", Value::Logical(false));
  MSGDEBUG("Opened UPDATDEF");
  EXPECT_TRUE(TakeLines().empty());
  GetMemVars().Set("LDEBUG", Value::Logical(true));
  MSGDEBUG("Opened UPDATDEF");
  EXPECT_EQ(TakeLines(), (std::vector<std::string>{"[Information] Opened UPDATDEF"}));
}

// Engine errors reach the handler and the work goes on; a watch only notes them.
TEST_F(DebugTraceTest, EngineErrorsAreWatchedNotCaught) {
  bool went_on = false;
  bool failed = false;
  const bool completed = RecoveryPoint([&] {
    ErrorWatch watch;
    DBGOTOP();  // no table: "Workarea not in use"
    went_on = true;
    failed = watch.failed();
    EXPECT_EQ(watch.first_failure().gen_code, kErrNoTable);
  });
  EXPECT_TRUE(completed);
  EXPECT_TRUE(went_on);
  EXPECT_TRUE(failed);
  ASSERT_EQ(RecordedErrors().size(), 1u);  // the handler still had it

  ErrorWatch tolerant({kErrNoTable});
  DBGOTOP();
  EXPECT_FALSE(tolerant.failed());
}

}  // namespace
}  // namespace px
