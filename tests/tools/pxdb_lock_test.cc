// pxdb lock and --shared across processes: the pxdb program holds a record lock while
// this process (a second workstation) works on the same table.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "tests/child_process.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"
#include "tests/tools/pxdb_test_util.h"
#include "tools/pxdb/pxdb.h"

namespace px {
namespace {

using test::ScratchDir;

using Result = test::PxdbResult;
using test::Pxdb;
// The pxdb program running in a process of its own, its standard output going to a
// file that ReadLine follows.
class PxdbProcess {
 public:
  explicit PxdbProcess(const std::vector<std::string>& args)
      : output_("pxdb" + std::to_string(++count_) + ".out") {
    std::vector<std::string> argv = {PX_PXDB_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    process_ = test::ChildProcess(argv, {}, "", output_);
  }

  // The next line of its output (without the line end), waiting at most a minute.
  std::string ReadLine() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    do {
      const std::string out = test::ReadFileBytes(output_);
      const size_t end = out.find('\n', read_);
      if (end != std::string::npos) {
        std::string line = out.substr(read_, end - read_);
        read_ = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return "";
  }
  // Stops it (if it still runs).
  void Stop() { process_.Kill(); }
  // Its exit code once it has ended by itself.
  int Wait() { return process_.Wait(60); }

 private:
  static inline int count_ = 0;
  std::string output_;
  size_t read_ = 0;
  test::ChildProcess process_;
};

class PxdbLockTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Pxdb({"create", "t", "NAME:C:8"}).code, 0);
    ASSERT_EQ(Pxdb({"append", "t.dbf"}, "{\"NAME\":\"one\"}\n{\"NAME\":\"two\"}\n").code, 0);
  }
  ScratchDir dir_;
};

TEST_F(PxdbLockTest, HoldsARecordLockForItsTime) {
  PxdbProcess holder({"lock", "t.dbf", "2", "60"});
  ASSERT_EQ(holder.ReadLine(), "locked record 2 of t.dbf");

  // Another workstation: record 2 and the file lock are refused, the rest is free.
  ASSERT_TRUE(test::UseTable("t", "", /*shared=*/true));
  DBGOTO(2);
  EXPECT_FALSE(RLOCK());
  EXPECT_FALSE(FLOCK());
  DBGOTO(1);
  EXPECT_TRUE(RLOCK());
  FIELDPUT(1, Value::String("ONE"));
  DBUNLOCK();

  // pxdb itself reports a record held elsewhere, and record numbers beyond the end.
  Result r = Pxdb({"lock", "t.dbf", "2", "0"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "pxdb: record 2 is locked by another workstation\n");
  r = Pxdb({"lock", "t.dbf", "4", "0"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "pxdb: record 4 does not exist (the table holds 2 records)\n");
  EXPECT_NE(Pxdb({"lock", "t.dbf", "0", "1"}).code, 0);
  EXPECT_NE(Pxdb({"lock", "t.dbf", "1", "-1"}).code, 0);

  holder.Stop();
  DBGOTO(2);
  EXPECT_TRUE(RLOCK()) << "the lock ended with the program";
  DBCLOSEAREA();

  // A short hold ends by itself, releasing the lock.
  PxdbProcess brief({"lock", "t.dbf", "1", "0.2"});
  EXPECT_EQ(brief.ReadLine(), "locked record 1 of t.dbf");
  EXPECT_EQ(brief.Wait(), 0);
  ASSERT_TRUE(test::UseTable("t", "", /*shared=*/true));
  EXPECT_TRUE(FLOCK());
}

TEST_F(PxdbLockTest, SharedAppendsBesideAnotherWorkstation) {
  // The record past the end is held elsewhere: an append cannot take it.
  PxdbProcess holder({"lock", "t.dbf", "3", "60"});
  ASSERT_EQ(holder.ReadLine(), "locked record 3 of t.dbf");
  Result r = Pxdb({"--shared", "append", "t.dbf"}, "{\"NAME\":\"three\"}\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Append lock failed"), std::string::npos) << r.err;
  EXPECT_TRUE(NETERR());
  holder.Stop();

  // Without --shared the table cannot be opened while another workstation has it open.
  ASSERT_TRUE(test::UseTable("t", "", /*shared=*/true));
  r = Pxdb({"append", "t.dbf"}, "{\"NAME\":\"three\"}\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("DOS Error 32"), std::string::npos) << r.err;
  r = Pxdb({"--shared", "append", "t.dbf"}, "{\"NAME\":\"three\"}\n{\"NAME\":\"four\"}\n");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(RECCOUNT(), 4u);
  DBGOTO(4);
  EXPECT_EQ(FIELDGET(1), Value::String("four    "));
  EXPECT_EQ(Pxdb({"--shared", "count", "t.dbf"}).out, "4\n");
  DBCLOSEAREA();
  // Shared appends leave no end-of-file mark.
  EXPECT_EQ(test::FileSize(dir_.File("t.dbf")), 32 + 32 + 2 + 4 * 9);
}

}  // namespace
}  // namespace px
