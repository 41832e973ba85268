// pxdb pack, zap, appendfrom and restructure: results, messages, and a table that is
// never lost or half replaced.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"
#include "tests/tools/pxdb_test_util.h"
#include "tools/pxdb/pxdb.h"

namespace px {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;

using Result = test::PxdbResult;
using test::ExpectOneLineError;
using test::Pxdb;
std::vector<std::string> Files(const ScratchDir& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    out.push_back(e.path().filename().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// old.dbf: CODE C 5, QTY N 5, OLD C 10, NOTES M 10; three records, the second deleted.
void MakeOld() {
  ASSERT_EQ(Pxdb({"create", "old", "CODE:C:5", "QTY:N:5", "OLD:C:10", "NOTES:M:10"}).code, 0);
  const Result r = Pxdb({"append", "old"},
                        "{\"CODE\":\"A1\",\"QTY\":12,\"OLD\":\"x\",\"NOTES\":\"first text\"}\n"
                        "{\"fields\":{\"CODE\":\"B2\",\"QTY\":7},\"deleted\":true}\n"
                        "{\"CODE\":\"C3\",\"QTY\":-4,\"NOTES\":\"" +
                            std::string(700, 'n') + "\"}\n");
  ASSERT_EQ(r.code, 0) << r.err;
}

TEST(PxdbMaintenanceTest, PackAndZap) {
  ScratchDir dir;
  MakeOld();
  Result r = Pxdb({"--shared", "pack", "old"});
  ExpectOneLineError(r, "Exclusive required");
  r = Pxdb({"pack", "old"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "removed 1 of 3 records\n");
  const size_t header = 32 + 4 * 32 + 2, record = 1 + 5 + 5 + 10 + 10;
  EXPECT_EQ(test::FileSize(dir.File("old.dbf")), static_cast<int64_t>(header + 2 * record + 1));
  EXPECT_NE(Pxdb({"dump", "old"}).out.find(std::string(700, 'n')), std::string::npos);

  r = Pxdb({"zap", "old"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "removed 2 records\n");
  EXPECT_EQ(test::FileSize(dir.File("old.dbf")), static_cast<int64_t>(header + 1));
  EXPECT_EQ(test::FileSize(dir.File("old.dbt")), 512);
  ExpectOneLineError(Pxdb({"pack", "none"}), "Open error");
}

TEST(PxdbMaintenanceTest, AppendFromMatchesFieldsByName) {
  ScratchDir dir;
  MakeOld();
  ASSERT_EQ(Pxdb({"create", "new", "CODE:C:8", "QTY:N:7:2", "NEW:D:8", "NOTES:M:10"}).code, 0);
  Result r = Pxdb({"appendfrom", "new", "old"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "appended 3 records\n");
  EXPECT_EQ(Pxdb({"dump", "new"}).out,
            "{\"recno\":1,\"deleted\":false,\"fields\":{\"CODE\":\"A1      \",\"QTY\":\"12.00\","
            "\"NEW\":\"\",\"NOTES\":\"first text\"}}\n"
            "{\"recno\":2,\"deleted\":true,\"fields\":{\"CODE\":\"B2      \",\"QTY\":\"7.00\","
            "\"NEW\":\"\",\"NOTES\":\"\"}}\n"
            "{\"recno\":3,\"deleted\":false,\"fields\":{\"CODE\":\"C3      \",\"QTY\":\"-4.00\","
            "\"NEW\":\"\",\"NOTES\":\"" +
                std::string(700, 'n') + "\"}}\n");

  // Values of another kind are left out, counted and reported; the records stay.
  ASSERT_EQ(Pxdb({"create", "text", "QTY:C:5"}).code, 0);
  r = Pxdb({"appendfrom", "text", "old"});
  EXPECT_EQ(r.out, "appended 3 records\n");
  ExpectOneLineError(r, "3 errors while appending, the first: Error DBFNTX/1020  Data type error");
  EXPECT_EQ(Pxdb({"count", "text"}).out, "3\n");

  ExpectOneLineError(Pxdb({"appendfrom", "new", "missing"}), "Open error: missing.dbf");
  EXPECT_EQ(Pxdb({"count", "new"}).out, "3\n");
}

TEST(PxdbMaintenanceTest, RestructureKeepsRecordsTextsAndDeletedMarks) {
  ScratchDir dir;
  MakeOld();
  Result r = Pxdb({"restructure", "OLD", "CODE:C:8", "QTY:N:7:2", "NEW:D:8", "NOTES:M:10"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "restructured 3 records; the old files are kept as old.bak and old.tbk\n");
  EXPECT_EQ(Files(dir), (std::vector<std::string>{"old.bak", "old.dbf", "old.dbt", "old.tbk"}));
  EXPECT_EQ(Pxdb({"struct", "old"}).out, "CODE C 8 0\nQTY N 7 2\nNEW D 8 0\nNOTES M 10 0\n");
  const std::string dump = Pxdb({"dump", "old"}).out;
  EXPECT_NE(dump.find("\"recno\":2,\"deleted\":true"), std::string::npos);
  EXPECT_NE(dump.find("\"QTY\":\"12.00\""), std::string::npos);
  EXPECT_NE(dump.find(std::string(700, 'n')), std::string::npos);

  // Without memo fields the memo file goes to the backup too.
  r = Pxdb({"restructure", "old", "CODE:C:2"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Files(dir), (std::vector<std::string>{"old.bak", "old.dbf", "old.tbk"}));
  EXPECT_EQ(Pxdb({"count", "old"}).out, "3\n");
}

TEST(PxdbMaintenanceTest, RestructureThatWouldLoseValuesChangesNothing) {
  ScratchDir dir;
  MakeOld();
  const std::string table = ReadFileBytes(dir.File("old.dbf"));
  const std::string memo = ReadFileBytes(dir.File("old.dbt"));
  ExpectOneLineError(Pxdb({"restructure", "old", "CODE:N:5", "NOTES:M:10"}),
                     "Data type error: CODE (--force leaves such values out); old is unchanged");
  ExpectOneLineError(Pxdb({"restructure", "old", "QTY:N:1"}), "Data width error: QTY");
  ExpectOneLineError(Pxdb({"restructure", "old", "QTY:Q:1"}), "unknown type");
  ExpectOneLineError(Pxdb({"restructure", "none", "A:C:1"}), "no table none.dbf");
  ExpectOneLineError(Pxdb({"--shared", "restructure", "old", "A:C:1"}), "--shared");
  EXPECT_EQ(Files(dir), (std::vector<std::string>{"old.dbf", "old.dbt"}));
  EXPECT_EQ(ReadFileBytes(dir.File("old.dbf")), table);
  EXPECT_EQ(ReadFileBytes(dir.File("old.dbt")), memo);

  // A table another program holds is not touched.
  int code = 0;
  auto holder = GetEnv()->OpenFile("old.dbf", FileAccess::kRead, FileShare::kDenyNone, &code);
  ASSERT_NE(holder, nullptr);
  ExpectOneLineError(Pxdb({"restructure", "old", "CODE:C:8"}), "old");
  holder.reset();
  EXPECT_EQ(Files(dir), (std::vector<std::string>{"old.dbf", "old.dbt"}));

  const Result r = Pxdb({"restructure", "--force", "old", "CODE:N:5", "QTY:N:7:1"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "restructured 3 records, 3 values left out; the old files are kept as old.bak and "
            "old.tbk\n");
  EXPECT_EQ(ReadFileBytes(dir.File("old.bak")), table);
  EXPECT_EQ(ReadFileBytes(dir.File("old.tbk")), memo);
}

// Fails the rename that would put the new table in place.
class FailingRenameEnv : public EnvWrapper {
 public:
  FailingRenameEnv() : EnvWrapper(Env::Default()) {}
  int RenameFile(std::string_view from, std::string_view to) override {
    if (from.find("zzrs") != std::string_view::npos && to.find(".dbf") != std::string_view::npos) {
      return kOsAccessDenied;
    }
    return target()->RenameFile(from, to);
  }
};

TEST(PxdbMaintenanceTest, AFailedReplaceUndoesItsSteps) {
  ScratchDir dir;
  MakeOld();
  const std::string table = ReadFileBytes(dir.File("old.dbf"));
  const std::string memo = ReadFileBytes(dir.File("old.dbt"));
  FailingRenameEnv env;
  ScopedEnv scoped(&env);
  ExpectOneLineError(Pxdb({"restructure", "old", "CODE:C:8", "NOTES:M:10"}),
                     "cannot move zzrs001.dbf to old.dbf: DOS error 5; old is unchanged");
  EXPECT_EQ(Files(dir), (std::vector<std::string>{"old.dbf", "old.dbt"}));
  EXPECT_EQ(ReadFileBytes(dir.File("old.dbf")), table);
  EXPECT_EQ(ReadFileBytes(dir.File("old.dbt")), memo);
}

}  // namespace
}  // namespace px
