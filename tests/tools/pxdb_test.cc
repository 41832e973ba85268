// pxdb through its command line: output formats, the dump/append round trip and the
// one-line errors.
#include "tools/pxdb/pxdb.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/date.h"
#include "runtime/env.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"
#include "tests/tools/pxdb_test_util.h"
#include "tools/pxdb/table_access.h"

namespace px {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

using Result = test::PxdbResult;
using test::ExpectOneLineError;
using test::Pxdb;
TEST(PxdbTest, CreateStructAndCount) {
  ScratchDir dir;
  Result r = Pxdb({"create", "cust", "code:c:8", "BALANCE:N:10:2", "SINCE:D:8", "OK:L:1",
                   "NOTES:M:10", "RATE:B:8:3", "N:I:2"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(GetEnv()->FileExists("cust.dbt"));
  r = Pxdb({"struct", "cust.dbf"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "CODE C 8 0\nBALANCE N 10 2\nSINCE D 8 0\nOK L 1 0\nNOTES M 10 0\nRATE B 8 3\nN I 2 "
            "0\n");
  r = Pxdb({"count", "cust.dbf"});
  EXPECT_EQ(r.out, "0\n");

  ExpectOneLineError(Pxdb({"create", "cust", "A:C:1"}), "exists");
  EXPECT_EQ(Pxdb({"create", "--force", "cust", "A:C:1"}).code, 0);
  EXPECT_EQ(Pxdb({"struct", "cust"}).out, "A C 1 0\n");
}

TEST(PxdbTest, CreateRefusesBadFieldLists) {
  ScratchDir dir;
  ExpectOneLineError(Pxdb({"create", "t", "A:Q:1"}), "unknown type");
  ExpectOneLineError(Pxdb({"create", "t", "A:N:300"}), "numeric");
  ExpectOneLineError(Pxdb({"create", "t", "A:N:3:2"}), "numeric");
  ExpectOneLineError(Pxdb({"create", "t", "A:C"}), "NAME:TYPE:LEN");
  ExpectOneLineError(Pxdb({"create", "t", "ELEVENCHARS:C:1"}), "1 to 10");
  ExpectOneLineError(Pxdb({"create", "t", "A:C:1", "a:N:2"}), "duplicate");
  ExpectOneLineError(Pxdb({"create", "t", "A:C:x"}), "length");
  ExpectOneLineError(Pxdb({"create", "t", "A:C:70000"}), "length");
  ExpectOneLineError(Pxdb({"create", "t", "A:C:40000", "B:C:40000"}), "Create error");
  EXPECT_FALSE(GetEnv()->FileExists("t.dbf"));
}

TEST(PxdbTest, AppendAndDumpFormats) {
  ScratchDir dir;
  ASSERT_EQ(Pxdb({"create", "t", "CODE:C:4", "QTY:N:7:2", "DUE:D:8", "OK:L:1", "RATE:B:8", "N:I:4",
                  "MEMO:M:10"})
                .code,
            0);
  const std::string input =
      "{\"CODE\":\"ab\",\"QTY\":1234.5,\"DUE\":\"20240229\",\"OK\":true,\"RATE\":0.25,"
      "\"N\":-7}\n"
      "\n"
      "{\"code\":\"x\",\"qty\":\"-17.25\",\"due\":\"\",\"n\":2.5}\n"
      "{\"OK\":null}\n";
  Result r = Pxdb({"append", "t"}, input);
  ASSERT_EQ(r.code, 0) << r.err;
  r = Pxdb({"dump", "t"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"recno\":1,\"deleted\":false,\"fields\":{\"CODE\":\"ab  \",\"QTY\":\"1234.50\","
            "\"DUE\":\"20240229\",\"OK\":true,\"RATE\":0.25,\"N\":-7,\"MEMO\":\"\"}}\n"
            "{\"recno\":2,\"deleted\":false,\"fields\":{\"CODE\":\"x   \",\"QTY\":\"-17.25\","
            "\"DUE\":\"\",\"OK\":false,\"RATE\":0.0,\"N\":3,\"MEMO\":\"\"}}\n"
            "{\"recno\":3,\"deleted\":false,\"fields\":{\"CODE\":\"    \",\"QTY\":\"\","
            "\"DUE\":\"\",\"OK\":false,\"RATE\":0.0,\"N\":0,\"MEMO\":\"\"}}\n");
  EXPECT_EQ(Pxdb({"count", "t"}).out, "3\n");
}

TEST(PxdbTest, AnyTableRoundTripsThroughDumpAndAppend) {
  ScratchDir dir;
  const std::vector<FieldDef> fields = {
      test::Field("NAME", 'C', 6),    test::Field("QTY", 'N', 6, 2), test::Field("CNT", 'N', 3),
      test::Field("DUE", 'D', 8),     test::Field("JD", 'D', 3),     test::Field("OK", 'L', 1),
      test::Field("RATE", 'B', 8, 2), test::Field("SMALL", 'I', 2),  test::Field("BIG", 'I', 8)};
  ASSERT_TRUE(test::CreateTable("src.dbf", fields));
  ASSERT_TRUE(test::CreateTable("dst.dbf", fields));
  ASSERT_TRUE(test::UseTable("src.dbf"));
  ASSERT_TRUE(DBAPPEND());
  FIELDPUT(1, Value::String("\xE9t\xE9 \x01\""));
  FIELDPUT(2, Value::Double(-0.5));
  FIELDPUT(3, Value::Integer(9999));  // asterisks
  FIELDPUT(4, Value::Date(DateFromYmd(1999, 12, 31)));
  FIELDPUT(5, Value::Date(DateFromYmd(2000, 1, 1)));
  FIELDPUT(6, Value::Logical(true));
  FIELDPUT(7, Value::Double(1.0 / 3.0));
  FIELDPUT(8, Value::Integer(-32768));
  FIELDPUT(9, Value::Integer(INT64_MIN));
  ASSERT_TRUE(DBAPPEND());
  DBDELETE();
  FIELDPUT(6, Value::Logical(false));
  ASSERT_TRUE(DBAPPEND());
  FIELDPUT(1, Value::String("  lead"));
  FIELDPUT(6, Value::Logical(false));
  DBCLOSEALL();

  const Result dump = Pxdb({"dump", "src.dbf"});
  ASSERT_EQ(dump.code, 0) << dump.err;
  const Result append = Pxdb({"append", "dst.dbf"}, dump.out);
  ASSERT_EQ(append.code, 0) << append.err;
  EXPECT_EQ(ReadFileBytes(dir.File("dst.dbf")), ReadFileBytes(dir.File("src.dbf")));
  EXPECT_EQ(Pxdb({"dump", "dst.dbf"}).out, dump.out);
}

TEST(PxdbTest, DumpEscapesEveryByteAsTheJsonLibraryDoes) {
  ScratchDir dir;
  ASSERT_TRUE(test::CreateTable(
      "t.dbf",
      {test::Field("LOW", 'C', 128), test::Field("HIGH", 'C', 128), test::Field("Q", 'N', 6)}));
  std::string low, high;
  for (int b = 0; b < 128; ++b) low += static_cast<char>(b);
  for (int b = 128; b < 256; ++b) high += static_cast<char>(b);
  ASSERT_TRUE(test::UseTable("t.dbf"));
  ASSERT_TRUE(DBAPPEND());
  FIELDPUT(1, Value::String(low));
  FIELDPUT(2, Value::String(high));
  FIELDPUT(3, Value::Integer(-42));
  DBDELETE();
  DBCLOSEALL();
  nlohmann::ordered_json fields = nlohmann::ordered_json::object();
  fields["LOW"] = pxdb::Latin1ToUtf8(low);
  fields["HIGH"] = pxdb::Latin1ToUtf8(high);
  fields["Q"] = "-42";
  EXPECT_EQ(Pxdb({"dump", "t.dbf"}).out,
            "{\"recno\":1,\"deleted\":true,\"fields\":" + fields.dump() + "}\n");
}

TEST(PxdbTest, LogicalsThatWereNeverSetComeBackAsFalse) {
  // A blank logical reads as false; dump prints it so and append stores "F".
  ScratchDir dir;
  ASSERT_EQ(Pxdb({"create", "t", "OK:L:1"}).code, 0);
  ASSERT_EQ(Pxdb({"append", "t"}, "{}\n").code, 0);
  const std::string dump = Pxdb({"dump", "t"}).out;
  EXPECT_EQ(dump, "{\"recno\":1,\"deleted\":false,\"fields\":{\"OK\":false}}\n");
  ASSERT_EQ(Pxdb({"append", "t"}, dump).code, 0);
  EXPECT_EQ(ReadFileBytes(dir.File("t.dbf")).substr(66), "   F\x1A");
}

TEST(PxdbTest, AppendStopsAtTheFirstBadLine) {
  ScratchDir dir;
  ASSERT_EQ(Pxdb({"create", "t", "CODE:C:3", "QTY:N:4", "OK:L:1", "DUE:D:8", "N:I:2"}).code, 0);
  struct Case {
    std::string line;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"not json", "line 2: expected one JSON object"},
      {"[1,2]", "line 2: expected one JSON object"},
      {"{\"NOPE\":1}", "line 2: no field NOPE"},
      {"{\"CODE\":12}", "line 2: CODE: expected a string"},
      {"{\"CODE\":\"abcd\"}", "line 2: CODE: text longer than C 3"},
      {"{\"CODE\":\"\\u20ac\"}", "line 2: CODE: characters above U+00FF"},
      {"{\"QTY\":12345}", "line 2: QTY: value does not fit N 4.0"},
      {"{\"QTY\":\"1x\"}", "line 2: QTY: \"1x\" is not a number text"},
      {"{\"OK\":\"T\"}", "line 2: OK: expected true or false"},
      {"{\"DUE\":\"20230230\"}", "line 2: DUE: expected a date"},
      {"{\"N\":40000}", "line 2: N: value does not fit I 2"},
      {"{\"fields\":{},\"deleted\":1}", "line 2: deleted: expected true or false"},
  };
  int expected_count = 0;
  for (const Case& c : cases) {
    const Result r =
        Pxdb({"append", "t"}, "{\"CODE\":\"ok\"}\n" + c.line + "\n{\"CODE\":\"no\"}\n");
    ExpectOneLineError(r, c.message);
    ++expected_count;
    EXPECT_EQ(Pxdb({"count", "t"}).out, std::to_string(expected_count) + "\n") << c.line;
  }
}

TEST(PxdbTest, ErrorsAreOneLineAndNeverACrash) {
  ScratchDir dir;
  ExpectOneLineError(Pxdb({"dump", "missing.dbf"}),
                     "(DOS Error 2) DBFNTX/1001  Open error: missing.dbf");
  WriteFileBytes(dir.File("junk.dbf"), "this is not a table at all, not even close to one");
  ExpectOneLineError(Pxdb({"struct", "junk.dbf"}), "Corruption detected");
  ExpectOneLineError(Pxdb({"count", "junk.dbf"}), "Corruption detected");
  Result r = Pxdb({});
  EXPECT_EQ(r.code, 2);
  r = Pxdb({"frobnicate"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1);
  r = Pxdb({"dump"});
  EXPECT_EQ(r.code, 2);
  r = Pxdb({"--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("append"), std::string::npos);
}

TEST(PxdbTest, SharedOptionOpensBesideOtherUsers) {
  ScratchDir dir;
  ASSERT_EQ(Pxdb({"create", "t", "A:C:2"}).code, 0);
  ASSERT_EQ(Pxdb({"append", "t"}, "{\"A\":\"x\"}\n").code, 0);
  // Another user has the table open shared.
  ASSERT_TRUE(test::UseTable("t.dbf", "other", /*shared=*/true));
  ExpectOneLineError(Pxdb({"dump", "t"}), "(DOS Error 32)");
  Result r = Pxdb({"--shared", "dump", "t"});
  EXPECT_EQ(r.code, 0) << r.err;
  r = Pxdb({"count", "t", "--shared"});
  EXPECT_EQ(r.out, "1\n");
  r = Pxdb({"--shared", "append", "t"}, "{\"A\":\"y\"}\n");
  EXPECT_EQ(r.code, 0) << r.err;
  // The other user's area is untouched and sees the new record.
  EXPECT_EQ(ALIAS(), "OTHER");
  EXPECT_EQ(RECCOUNT(), 2u);
}

}  // namespace
}  // namespace px
