// Sharing between real processes: a forked child plays the other workstation.
#include <gtest/gtest.h>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/error.h"
#include "runtime/process_state.h"
#include "tests/engine/table_util.h"
#include "tests/forked_process.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::Channel;
using test::CreateTable;
using test::Field;
using test::ForkedProcess;
using test::RecordedCodes;
using test::ScratchDir;
using test::UseTable;

// The child's exit codes: 0 for success, else the number of the step that failed.
#define CHILD_CHECK(step, condition) \
  if (!(condition)) return step

class SharingProcessTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateTable("t.dbf", {Field("NAME", 'C', 10)}));
    ASSERT_TRUE(UseTable("t"));
    for (int i = 1; i <= 3; ++i) {
      ASSERT_TRUE(DBAPPEND());
      FIELDPUT(1, Value::String("rec" + std::to_string(i)));
    }
    DBCLOSEAREA();
  }
  ScratchDir dir_;
};

TEST_F(SharingProcessTest, ATableHeldExclusivelyElsewhereFailsToOpenQuietly) {
  ForkedProcess holder([](Channel& c) {
    CHILD_CHECK(1, UseTable("t"));
    c.Send('r');
    c.Receive();
    return 0;
  });
  ASSERT_EQ(holder.channel().Receive(), 'r');
  EXPECT_FALSE(UseTable("t", "", /*shared=*/true));
  EXPECT_TRUE(NETERR());
  EXPECT_FALSE(USED());
  EXPECT_FALSE(UseTable("t", "", /*shared=*/false));
  EXPECT_TRUE(NETERR());
  EXPECT_TRUE(RecordedErrors().empty()) << "no error log, no dialog";

  holder.channel().Send('q');
  ASSERT_EQ(holder.Join(), 0);
  EXPECT_TRUE(UseTable("t", "", /*shared=*/true));
  EXPECT_FALSE(NETERR());
}

TEST_F(SharingProcessTest, RecordLocksAndTheFileLockBetweenProcesses) {
  ForkedProcess other([](Channel& c) {
    CHILD_CHECK(1, UseTable("t", "", /*shared=*/true));
    DBGOTO(2);
    CHILD_CHECK(2, RLOCK());
    c.Send('r');
    // The parent holds record 3 now: that one is refused, and so is the file lock.
    CHILD_CHECK(3, c.Receive() == 'n');
    DBGOTO(3);
    CHILD_CHECK(4, !RLOCK());
    CHILD_CHECK(5, !FLOCK());
    DBUNLOCK();
    c.Send('u');
    // The parent's record lock is gone: the whole file can be locked.
    CHILD_CHECK(6, c.Receive() == 'f');
    CHILD_CHECK(7, FLOCK());
    c.Send('f');
    c.Receive();
    return 0;
  });
  ASSERT_EQ(other.channel().Receive(), 'r');
  ASSERT_TRUE(UseTable("t", "", /*shared=*/true));
  DBGOTO(2);
  EXPECT_FALSE(RLOCK());
  EXPECT_FALSE(FLOCK()) << "a record lock elsewhere keeps the file lock out";
  DBGOTO(3);
  ASSERT_TRUE(RLOCK());
  other.channel().Send('n');
  ASSERT_EQ(other.channel().Receive(), 'u');
  DBGOTO(2);
  EXPECT_TRUE(RLOCK());
  DBUNLOCK();
  other.channel().Send('f');
  ASSERT_EQ(other.channel().Receive(), 'f');
  for (uint32_t r : {1u, 2u, 3u, 4u}) {
    DBGOTO(r);
    EXPECT_FALSE(RLOCK()) << r;
  }
  EXPECT_FALSE(DBAPPEND());
  EXPECT_TRUE(NETERR());
  other.channel().Send('q');
  ASSERT_EQ(other.Join(), 0);
  // The child's end released its locks.
  EXPECT_TRUE(FLOCK());
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(SharingProcessTest, UnlockWritesTheRecordThenChangesNeedTheLockAgain) {
  ForkedProcess reader([](Channel& c) {
    CHILD_CHECK(1, UseTable("t", "", /*shared=*/true));
    c.Send('r');
    CHILD_CHECK(2, c.Receive() == 'u');
    DBGOTO(1);
    CHILD_CHECK(3, RLOCK());
    CHILD_CHECK(4, FIELDGET(1) == Value::String("written   "));
    return 0;
  });
  ASSERT_EQ(reader.channel().Receive(), 'r');
  ASSERT_TRUE(UseTable("t", "", /*shared=*/true));
  ASSERT_TRUE(RLOCK());
  FIELDPUT(1, Value::String("written"));
  DBUNLOCK();
  FIELDPUT(1, Value::String("too late"));
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>{"38/1022"});
  reader.channel().Send('u');
  EXPECT_EQ(reader.Join(), 0);
}

TEST_F(SharingProcessTest, AnAppendIntoARecordLockedElsewhereFailsAndFreesTheHeader) {
  ForkedProcess other([](Channel& c) {
    CHILD_CHECK(1, UseTable("t", "", /*shared=*/true));
    DBGOTO(4);  // the record past the end, the next append's number
    CHILD_CHECK(2, RLOCK());
    c.Send('r');
    // After the parent's failed append the header lock must be free again, or this
    // append would wait for ever.
    CHILD_CHECK(3, c.Receive() == 'a');
    CHILD_CHECK(4, DBAPPEND());
    CHILD_CHECK(5, RECNO() == 4);
    FIELDPUT(1, Value::String("child"));
    DBUNLOCK();
    c.Send('a');
    c.Receive();
    return 0;
  });
  ASSERT_EQ(other.channel().Receive(), 'r');
  ASSERT_TRUE(UseTable("t", "", /*shared=*/true));
  EXPECT_FALSE(DBAPPEND());
  EXPECT_TRUE(NETERR());
  EXPECT_TRUE(RecordedErrors().empty());
  EXPECT_EQ(RECCOUNT(), 3u);
  other.channel().Send('a');
  ASSERT_EQ(other.channel().Receive(120000), 'a') << "the child's append never finished";
  ASSERT_TRUE(DBAPPEND());
  EXPECT_FALSE(NETERR());
  EXPECT_EQ(RECNO(), 5u);
  DBGOTO(4);
  EXPECT_EQ(FIELDGET(1), Value::String("child     "));
  other.channel().Send('q');
  EXPECT_EQ(other.Join(), 0);
}

TEST_F(SharingProcessTest, AnAppendWaitsForTheHeaderLock) {
  ForkedProcess other([](Channel& c) {
    CHILD_CHECK(1, UseTable("t", "", /*shared=*/true));
    c.Send('r');
    CHILD_CHECK(2, c.Receive() == 'a');
    CHILD_CHECK(3, DBAPPEND());
    CHILD_CHECK(4, RECNO() == 4);
    c.Send('d');
    c.Receive();
    return 0;
  });
  ASSERT_EQ(other.channel().Receive(), 'r');
  ASSERT_TRUE(UseTable("t", "", /*shared=*/true));
  ASSERT_TRUE(CurrentArea()->RawLock(LockAction::kHeaderLock, 0));
  other.channel().Send('a');
  EXPECT_EQ(other.channel().Receive(300), 0) << "the append went on under the header lock";
  ASSERT_TRUE(CurrentArea()->RawLock(LockAction::kHeaderUnlock, 0));
  EXPECT_EQ(other.channel().Receive(), 'd');
  EXPECT_EQ(RECCOUNT(), 4u);
  other.channel().Send('q');
  EXPECT_EQ(other.Join(), 0);
}

}  // namespace
}  // namespace px
