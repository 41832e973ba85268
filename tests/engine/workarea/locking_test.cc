// Record, file and header locks of shared tables, within one process. Two work areas
// on one table file are two opens, whose locks conflict as those of two workstations.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "engine/dbf/dbf_area.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "runtime/process_state.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::CreateTable;
using test::Field;
using test::RecordedCodes;
using test::ScratchDir;
using test::UseTable;

// Whether any open holds a lock on a byte of [offset, offset + length) of the file, as
// a fresh open of the file sees it (on Windows: a fresh open cannot lock them).
bool BytesLocked(const std::string& path, uint64_t offset, uint64_t length) {
#ifdef _WIN32
  int code = 0;
  std::unique_ptr<File> f =
      Env::Default()->OpenFile(path, FileAccess::kReadWrite, FileShare::kDenyNone, &code);
  if (f == nullptr) return false;
  if (!f->Lock(offset, length, /*exclusive=*/true, /*wait=*/false)) return true;
  f->Unlock(offset, length);
  return false;
#else
  const int fd = open(path.c_str(), O_RDWR);
  if (fd < 0) return false;
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  const bool ok = fcntl(fd, F_OFD_GETLK, &fl) == 0;
  close(fd);
  return ok && fl.l_type != F_UNLCK;
#endif
}

constexpr uint64_t kRecordBase = 1000000000;

std::vector<uint32_t> LockList() {
  Value v;
  std::vector<uint32_t> out;
  if (CurrentArea() == nullptr || !CurrentArea()->Info(TableInfo::kLockList, &v)) return out;
  for (const Value& r : v.array()) out.push_back(static_cast<uint32_t>(r.integer()));
  return out;
}

bool FileLocked() {
  Value v;
  return CurrentArea() != nullptr && CurrentArea()->Info(TableInfo::kFileLocked, &v) && v.logical();
}

DbfArea* Dbf() {
  return dynamic_cast<DbfArea*>(CurrentArea());
}

class LockingTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateTable("t.dbf", {Field("NAME", 'C', 10), Field("N", 'N', 5)}));
    ASSERT_TRUE(UseTable("t"));
    for (int i = 1; i <= 5; ++i) {
      ASSERT_TRUE(DBAPPEND());
      FIELDPUT(1, Value::String("rec" + std::to_string(i)));
      FIELDPUT(2, Value::Integer(i));
    }
    DBCLOSEAREA();
    path_ = dir_.File("t.dbf");
  }

  // Opens the table shared in the areas "wsa" and "wsb"; "wsa" is current.
  void OpenBoth() {
    ASSERT_TRUE(UseTable("t", "wsa", /*shared=*/true));
    ASSERT_TRUE(UseTable("t", "wsb", /*shared=*/true));
    DBSELECTAREA("wsa");
  }

  ScratchDir dir_;
  std::string path_;
};

TEST_F(LockingTest, ExclusiveTablesTakeNoLocks) {
  ASSERT_TRUE(UseTable("t"));
  DBGOTO(2);
  EXPECT_TRUE(RLOCK());
  EXPECT_TRUE(FLOCK());
  bool held = false;
  ASSERT_TRUE(CurrentArea()->Lock(LockMethod::kMultiple, 4, &held));
  EXPECT_TRUE(held);
  EXPECT_TRUE(LockList().empty());
  EXPECT_FALSE(FileLocked());
  EXPECT_FALSE(BytesLocked(path_, kRecordBase, 2000000001));
  FIELDPUT(1, Value::String("free"));  // no lock needed
  DBUNLOCK();
  EXPECT_TRUE(RecordedErrors().empty());
  EXPECT_EQ(FIELDGET(1), Value::String("free      "));
}

TEST_F(LockingTest, RecordLocksSitOnOneByteEachAndConflictBetweenOpens) {
  OpenBoth();
  DBGOTO(5);
  ASSERT_TRUE(RLOCK());
  EXPECT_EQ(LockList(), std::vector<uint32_t>{5});
  EXPECT_TRUE(BytesLocked(path_, kRecordBase + 5, 1));
  EXPECT_FALSE(BytesLocked(path_, kRecordBase + 4, 1));
  EXPECT_FALSE(BytesLocked(path_, kRecordBase + 6, 1));
  EXPECT_FALSE(BytesLocked(path_, kRecordBase, 1)) << "no header lock outside an append";

  // Locking the same record again keeps one entry.
  ASSERT_TRUE(RLOCK());
  EXPECT_EQ(LockList(), std::vector<uint32_t>{5});

  DBSELECTAREA("wsb");
  DBGOTO(5);
  EXPECT_FALSE(RLOCK());
  EXPECT_TRUE(LockList().empty());
  EXPECT_FALSE(FLOCK()) << "the file lock covers every record byte";
  DBGOTO(4);
  EXPECT_TRUE(RLOCK());

  // RLOCK on another record releases the first.
  DBSELECTAREA("wsa");
  DBGOTO(3);
  ASSERT_TRUE(RLOCK());
  EXPECT_EQ(LockList(), std::vector<uint32_t>{3});
  EXPECT_FALSE(BytesLocked(path_, kRecordBase + 5, 1));
  DBSELECTAREA("wsb");
  DBGOTO(5);
  EXPECT_TRUE(RLOCK());
  EXPECT_EQ(LockList(), std::vector<uint32_t>{5});
  EXPECT_TRUE(RecordedErrors().empty()) << "a refused lock is no error";
}

TEST_F(LockingTest, TheFileLockCoversEveryRecord) {
  OpenBoth();
  DBGOTO(2);
  ASSERT_TRUE(RLOCK());
  ASSERT_TRUE(FLOCK());
  EXPECT_TRUE(FileLocked());
  EXPECT_TRUE(LockList().empty()) << "FLOCK releases the record locks first";
  EXPECT_TRUE(BytesLocked(path_, kRecordBase + 1, 1));
  EXPECT_TRUE(BytesLocked(path_, 2000000000, 1));
  EXPECT_FALSE(BytesLocked(path_, 2000000001, 1));
  EXPECT_FALSE(BytesLocked(path_, kRecordBase, 1));

  // Record locks under the file lock are granted without a list entry, and releasing
  // them leaves the file lock whole.
  DBGOTO(4);
  ASSERT_TRUE(RLOCK());
  EXPECT_TRUE(LockList().empty());
  ASSERT_TRUE(CurrentArea()->Unlock(4));
  // unlock(r) releases the file lock too.
  EXPECT_FALSE(FileLocked());
  ASSERT_TRUE(FLOCK());
  ASSERT_TRUE(RLOCK());
  ASSERT_TRUE(CurrentArea()->RawLock(LockAction::kRecordUnlock, 4));
  EXPECT_TRUE(BytesLocked(path_, kRecordBase + 4, 1));
  EXPECT_TRUE(FLOCK());

  DBSELECTAREA("wsb");
  for (uint32_t r : {1u, 5u, 6u, 1000u}) {
    DBGOTO(r);
    EXPECT_FALSE(RLOCK()) << r;
  }
  EXPECT_FALSE(FLOCK());
  EXPECT_FALSE(DBAPPEND()) << "nor can the record past the end be locked";
  EXPECT_TRUE(NETERR());

  DBSELECTAREA("wsa");
  DBUNLOCK();
  EXPECT_FALSE(FileLocked());
  EXPECT_FALSE(BytesLocked(path_, kRecordBase, 2000000001));
  DBSELECTAREA("wsb");
  EXPECT_TRUE(FLOCK());
}

TEST_F(LockingTest, MultipleLocksAndSingleUnlocks) {
  OpenBoth();
  bool held = false;
  for (uint32_t r : {2u, 4u, 1u, 4u}) {
    ASSERT_TRUE(CurrentArea()->Lock(LockMethod::kMultiple, r, &held));
    EXPECT_TRUE(held);
  }
  EXPECT_EQ(LockList(), (std::vector<uint32_t>{2, 4, 1}));
  ASSERT_TRUE(CurrentArea()->Unlock(4));
  EXPECT_EQ(LockList(), (std::vector<uint32_t>{2, 1}));
  EXPECT_FALSE(BytesLocked(path_, kRecordBase + 4, 1));
  ASSERT_TRUE(CurrentArea()->Unlock(3));  // not held: nothing happens
  EXPECT_EQ(LockList(), (std::vector<uint32_t>{2, 1}));

  DBSELECTAREA("wsb");
  ASSERT_TRUE(CurrentArea()->Lock(LockMethod::kMultiple, 2, &held));
  EXPECT_FALSE(held);
  EXPECT_TRUE(LockList().empty());

  // RLOCK of a record already held keeps it and drops the others.
  DBSELECTAREA("wsa");
  DBGOTO(1);
  ASSERT_TRUE(RLOCK());
  EXPECT_EQ(LockList(), std::vector<uint32_t>{1});
  EXPECT_TRUE(BytesLocked(path_, kRecordBase + 1, 1));
  EXPECT_FALSE(BytesLocked(path_, kRecordBase + 2, 1));

  // Closing releases everything.
  DBCLOSEAREA();
  DBSELECTAREA("wsb");
  EXPECT_TRUE(FLOCK());
}

TEST_F(LockingTest, ChangesNeedTheLock) {
  OpenBoth();
  DBGOTO(2);
  EXPECT_EQ(FIELDPUT(1, Value::String("x")), Value());
  DBDELETE();
  EXPECT_FALSE(DELETED());
  ASSERT_EQ(RecordedCodes(), (std::vector<std::string>{"38/1022", "38/1022"}));
  const Error& e = RecordedErrors()[0];
  EXPECT_EQ(e.description, "Lock required");
  EXPECT_EQ(e.subsystem, "DBFNTX");
  EXPECT_FALSE(e.can_retry || e.can_default);
  EXPECT_EQ(FIELDGET(1), Value::String("rec2      "));
  ClearRecordedErrors();

  // Under the record lock, and under the file lock.
  ASSERT_TRUE(RLOCK());
  FIELDPUT(1, Value::String("changed"));
  DBUNLOCK();
  EXPECT_EQ(FIELDPUT(1, Value::String("late")), Value()) << "a write right after DBUNLOCK";
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>{"38/1022"});
  ClearRecordedErrors();
  ASSERT_TRUE(FLOCK());
  DBGOTO(3);
  DBDELETE();
  EXPECT_TRUE(DELETED());
  DBUNLOCK();
  EXPECT_TRUE(RecordedErrors().empty());

  // DBUNLOCK wrote the changes before releasing: the other open sees them.
  DBSELECTAREA("wsb");
  DBGOTO(2);
  EXPECT_EQ(FIELDGET(1), Value::String("changed   "));
  DBGOTO(3);
  EXPECT_TRUE(DELETED());

  // A read-only table refuses writes even under a lock.
  ASSERT_TRUE(UseTable("t", "ro", /*shared=*/true, /*read_only=*/true));
  ASSERT_TRUE(RLOCK());
  FIELDPUT(1, Value::String("x"));
  EXPECT_FALSE(DBAPPEND());
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"39/1025", "39/1025"}));
}

TEST_F(LockingTest, ALockRefreshesTheBufferedRecord) {
  OpenBoth();
  DBGOTO(2);
  EXPECT_EQ(FIELDGET(2), Value::Integer(2));  // buffered now

  DBSELECTAREA("wsb");
  DBGOTO(2);
  ASSERT_TRUE(RLOCK());
  FIELDPUT(2, Value::Integer(20));
  DBUNLOCK();

  DBSELECTAREA("wsa");
  EXPECT_EQ(FIELDGET(2), Value::Integer(2)) << "the buffer is only dropped by a lock";
  ASSERT_TRUE(RLOCK());
  EXPECT_EQ(FIELDGET(2), Value::Integer(20));

  // Unsaved changes survive a further lock.
  FIELDPUT(2, Value::Integer(21));
  bool held = false;
  ASSERT_TRUE(CurrentArea()->Lock(LockMethod::kMultiple, 4, &held));
  EXPECT_TRUE(held);
  EXPECT_EQ(FIELDGET(2), Value::Integer(21));
  DBUNLOCK();

  // On the record past the end, a lock goes there again and finds what was appended.
  DBGOBOTTOM();
  DBSKIP();
  ASSERT_TRUE(EOF_());
  EXPECT_EQ(RECNO(), 6u);
  DBSELECTAREA("wsb");
  ASSERT_TRUE(DBAPPEND());
  FIELDPUT(1, Value::String("appended"));
  DBUNLOCK();
  DBSELECTAREA("wsa");
  ASSERT_TRUE(RLOCK());
  EXPECT_FALSE(EOF_());
  EXPECT_EQ(RECNO(), 6u);
  EXPECT_EQ(FIELDGET(1), Value::String("appended  "));
}

TEST_F(LockingTest, SharedAppendLocksTheNewRecord) {
  OpenBoth();
  DBGOTO(2);
  ASSERT_TRUE(RLOCK());
  ASSERT_TRUE(DBAPPEND(/*release_other_locks=*/false));
  EXPECT_EQ(RECNO(), 6u);
  EXPECT_EQ(LockList(), (std::vector<uint32_t>{2, 6}));
  EXPECT_FALSE(BytesLocked(path_, kRecordBase, 1)) << "the header lock is released";
  FIELDPUT(1, Value::String("six"));
  ASSERT_TRUE(DBAPPEND());
  EXPECT_EQ(LockList(), std::vector<uint32_t>{7});
  EXPECT_EQ(test::FileSize(path_), 98 + 7 * 16) << "record and header written, no end mark";

  // The other open sees the new records at once, and cannot lock the one held.
  DBSELECTAREA("wsb");
  EXPECT_EQ(RECCOUNT(), 7u);
  DBGOTO(6);
  EXPECT_EQ(FIELDGET(1), Value::String("six       "));
  DBGOTO(7);
  EXPECT_FALSE(RLOCK());

  // Under the file lock an append takes no record lock.
  DBSELECTAREA("wsa");
  DBUNLOCK();
  ASSERT_TRUE(FLOCK());
  ASSERT_TRUE(DBAPPEND());
  EXPECT_TRUE(LockList().empty());
  FIELDPUT(1, Value::String("eight"));
  DBUNLOCK();
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(LockingTest, AnAppendWhoseRecordIsLockedElsewhereFailsQuietly) {
  OpenBoth();
  DBSELECTAREA("wsb");
  DBGOTO(6);  // the record past the end
  ASSERT_TRUE(RLOCK());

  DBSELECTAREA("wsa");
  DBGOTO(3);
  ASSERT_TRUE(RLOCK());
  EXPECT_FALSE(DBAPPEND());
  EXPECT_TRUE(NETERR());
  EXPECT_TRUE(RecordedErrors().empty());
  EXPECT_EQ(RECCOUNT(), 5u);
  EXPECT_TRUE(LockList().empty()) << "the other locks were given up for the append";
  EXPECT_FALSE(BytesLocked(path_, kRecordBase, 1)) << "the header lock is released";
  EXPECT_EQ(test::FileSize(path_), 98 + 5 * 16 + 1);

  // The error itself, for a handler of its own.
  int raised = 0;
  {
    ScopedErrorHandler handler([&](Error& e) {
      ++raised;
      EXPECT_EQ(e.gen_code, kErrAppendLock);
      EXPECT_EQ(e.sub_code, 1024);
      EXPECT_EQ(e.subsystem, "DBFNTX");
      EXPECT_EQ(e.description, "Append lock failed");
      EXPECT_TRUE(e.can_default);
      EXPECT_FALSE(e.can_retry);
      return ErrorAnswer::Default();
    });
    EXPECT_FALSE(DBAPPEND());
  }
  EXPECT_EQ(raised, 1);
  EXPECT_TRUE(NETERR());

  // The holder itself appends into the record it locked.
  DBSELECTAREA("wsb");
  ASSERT_TRUE(DBAPPEND());
  EXPECT_FALSE(NETERR());
  EXPECT_EQ(RECNO(), 6u);
  EXPECT_EQ(LockList(), std::vector<uint32_t>{6});
  DBSELECTAREA("wsa");
  ASSERT_TRUE(DBAPPEND());
  EXPECT_EQ(RECNO(), 7u);
}

TEST_F(LockingTest, TheSharedCountFollowsTheFileSize) {
  OpenBoth();
  DBSELECTAREA("wsb");
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(DBAPPEND());
  DBUNLOCK();
  DBSELECTAREA("wsa");
  EXPECT_EQ(RECCOUNT(), 8u);
  DBGOTO(8);
  EXPECT_FALSE(EOF_());
  DBSELECTAREA("wsb");
  ASSERT_TRUE(DBAPPEND());
  DBUNLOCK();
  DBSELECTAREA("wsa");
  DBGOBOTTOM();
  EXPECT_EQ(RECNO(), 9u);
  DBCLOSEAREA();
  DBSELECTAREA("wsb");
  DBCLOSEAREA();
  const std::string bytes = test::ReadFileBytes(path_);
  EXPECT_EQ(bytes.size(), 98u + 9 * 16);
  EXPECT_EQ(GetLe32(reinterpret_cast<const uint8_t*>(bytes.data()) + 4), 9u);
  EXPECT_NE(bytes.back(), '\x1A');
}

TEST_F(LockingTest, LockingWithoutATable) {
  EXPECT_FALSE(RLOCK());
  EXPECT_FALSE(FLOCK());
  DBUNLOCK();
  FakeClockEnv clock(Env::Default());
  ScopedEnv scoped(&clock);
  EXPECT_FALSE(RECLOCK(0)) << "gives up at once instead of raising forever";
  EXPECT_EQ(clock.sleeps(), 0);
  ASSERT_EQ(RecordedCodes(), (std::vector<std::string>(4, "35/2001")));
  EXPECT_EQ(RecordedErrors()[0].operation, "RLOCK");
  EXPECT_EQ(RecordedErrors()[1].operation, "FLOCK");
  EXPECT_EQ(RecordedErrors()[2].operation, "DBUNLOCK");
  EXPECT_EQ(RecordedErrors()[0].subsystem, "DBCMD");
}

// An Env whose pauses are instant, counted, and may run a step after the n-th pause.
class CountingClock : public FakeClockEnv {
 public:
  CountingClock() : FakeClockEnv(Env::Default()) {}
  void SleepMicros(int64_t micros) override {
    FakeClockEnv::SleepMicros(micros);
    if (sleeps() == release_after && release) release();
  }
  int64_t release_after = -1;
  std::function<void()> release;
};

TEST_F(LockingTest, ReclockRetriesEveryFifthOfASecond) {
  OpenBoth();
  DBSELECTAREA("wsb");
  DBGOTO(3);
  ASSERT_TRUE(RLOCK());
  DBSELECTAREA("wsa");
  DBGOTO(3);

  CountingClock clock;
  ScopedEnv scoped(&clock);
  EXPECT_FALSE(RECLOCK(2));
  EXPECT_EQ(clock.sleeps(), 101) << "102 attempts";
  EXPECT_EQ(clock.slept_micros(), 101 * 200000);
  CountingClock clock5;
  ScopedEnv scoped5(&clock5);
  EXPECT_FALSE(RECLOCK(5));
  EXPECT_EQ(clock5.sleeps(), 250) << "251 attempts";

  // Without end: the lock comes once the other open lets go.
  CountingClock forever;
  ScopedEnv scoped_forever(&forever);
  forever.release_after = 1000;
  forever.release = [] {
    const uint16_t current = CurrentAreaNumber();
    DBSELECTAREA("wsb");
    DBUNLOCK();
    DBSELECTAREA(current);
  };
  EXPECT_TRUE(RECLOCK(0));
  EXPECT_EQ(forever.sleeps(), 1000);
  EXPECT_EQ(LockList(), std::vector<uint32_t>{3});
  EXPECT_TRUE(RECLOCK(0)) << "held already";
  EXPECT_EQ(forever.sleeps(), 1000);
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST(NetUseTest, RetriesEverySecondWhileTheTableIsHeldElsewhere) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable("quotes.dbf", {Field("A", 'C', 1)}));
  int code = 0;
  auto holder =
      GetEnv()->OpenFile("quotes.dbf", FileAccess::kReadWrite, FileShare::kExclusive, &code);
  ASSERT_NE(holder, nullptr);

  CountingClock clock;
  ScopedEnv scoped(&clock);
  EXPECT_FALSE(NETUSE("quotes", false, 2));
  EXPECT_EQ(clock.sleeps(), 2);
  EXPECT_EQ(clock.slept_micros(), 2000000);
  EXPECT_TRUE(NETERR());
  EXPECT_FALSE(USED());
  EXPECT_TRUE(RecordedErrors().empty()) << "no error report for a table held elsewhere";

  // Without end it waits until the holder lets go.
  CountingClock forever;
  ScopedEnv scoped_forever(&forever);
  forever.release_after = 30;
  forever.release = [&] { holder.reset(); };
  DBSELECTAREA(4);
  EXPECT_TRUE(NETUSE("quotes", false, 0));
  EXPECT_EQ(forever.sleeps(), 30);
  EXPECT_FALSE(NETERR());
  EXPECT_EQ(SELECT(), 4);
  EXPECT_EQ(ALIAS(), "QUOTES");
  EXPECT_TRUE(Dbf()->shared());

  // In the current area, replacing its table; exclusive on request.
  EXPECT_TRUE(NETUSE("quotes.dbf", true, 1));
  EXPECT_EQ(SELECT(), 4);
  EXPECT_FALSE(Dbf()->shared());
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST(NetUseTest, OtherFailuresAreNotWaitedFor) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable("quotes.dbf", {Field("A", 'C', 1)}));
  ASSERT_TRUE(UseTable("quotes", "", /*shared=*/true));
  CountingClock clock;
  ScopedEnv scoped(&clock);
  DBSELECTAREA(2);
  // The alias is taken by area 1: no table is opened, and no wait helps.
  EXPECT_FALSE(NETUSE("quotes", false, 5));
  EXPECT_FALSE(USED());
  EXPECT_EQ(clock.sleeps(), 0);
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>{"18/1011"});
  ClearRecordedErrors();

  // A missing table is reported at each attempt.
  EXPECT_FALSE(NETUSE("missing", false, 2));
  EXPECT_EQ(clock.sleeps(), 2);
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>(2, "21/1001")));
  EXPECT_EQ(RecordedErrors()[0].os_code, kOsFileNotFound);
  EXPECT_FALSE(NETUSE("quotes", false, -1)) << "no attempt at all";
}

}  // namespace
}  // namespace px
