// pxdb eval: the value and type of an expression on one record or on every record.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/test_util.h"
#include "tests/tools/pxdb_test_util.h"
#include "tools/pxdb/pxdb.h"

namespace px {
namespace {

using test::ScratchDir;

using Result = test::PxdbResult;
using test::Pxdb;
class PxdbEvalTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Pxdb({"create", "cust", "NAME:C:10", "DUE:D:8", "QTY:N:8:2", "OK:L:1"}).code, 0);
    const Result r = Pxdb({"append", "cust"},
                          "{\"NAME\":\"ab\",\"DUE\":\"\",\"QTY\":3.14159,\"OK\":true}\n"
                          "{\"NAME\":\"Smith\",\"DUE\":\"20240229\",\"QTY\":-5}\n");
    ASSERT_EQ(r.code, 0) << r.err;
  }
  ScratchDir dir_;
};

TEST_F(PxdbEvalTest, EveryRecordOrOne) {
  Result r = Pxdb({"eval", "cust", "UPPER(NAME) + DTOS(DUE) + STR(QTY, 8, 2)"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "1\tC\t\"AB                    3.14\"\n"
            "2\tC\t\"SMITH     20240229   -5.00\"\n");
  r = Pxdb({"eval", "cust.dbf", "QTY * 2", "--recno", "2"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "2\tN\t-10.00\n");
  EXPECT_EQ(Pxdb({"eval", "cust", "DUE", "--recno", "2"}).out, "2\tD\t20240229\n");
  EXPECT_EQ(Pxdb({"eval", "cust", "DUE", "--recno", "1"}).out, "1\tD\t\"\"\n");
  EXPECT_EQ(Pxdb({"eval", "cust", "OK .AND. RECNO() = 1"}).out, "1\tL\t.T.\n2\tL\t.F.\n");
  EXPECT_EQ(Pxdb({"eval", "cust", "{NIL, LEN(NAME)}", "--recno", "1"}).out, "1\tA\t{NIL, 10}\n");
}

TEST_F(PxdbEvalTest, ErrorsAreOneLine) {
  auto expect_error = [](const Result& r, const std::string& part) {
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("pxdb: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(part), std::string::npos) << r.err;
  };
  expect_error(Pxdb({"eval", "cust", "UPPER(NAME"}), "parse error at character 11");
  expect_error(Pxdb({"eval", "cust", std::string(20000, '(') + "1"}), "parser stack overflow");
  expect_error(Pxdb({"eval", "cust", "NOSUCH + 1"}), "BASE/1003");
  expect_error(Pxdb({"eval", "cust", "NAME", "--recno", "3"}), "does not exist");
  expect_error(Pxdb({"eval", "missing", "1"}), "missing");
  EXPECT_EQ(Pxdb({"eval", "cust", "1", "--recno", "0"}).code, 2);
}

}  // namespace
}  // namespace px
