// The table structure migration: new structures, carried records, replaced tables, and
// tables that must stay as they were when a step fails.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/driver/main.h"
#include "app/driver/migration.h"
#include "app/driver/rename_journal.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/error.h"
#include "tests/app/driver/driver_fixture.h"

namespace px {
namespace {

using test::FieldSpec;
using test::Row;
using test::TableData;
using test::Text;

// Writes to the temporary table fail (a full disk) while `failing` is set.
class FullDiskEnv : public EnvWrapper {
 public:
  explicit FullDiskEnv(Env* target) : EnvWrapper(target) {}
  class ShortFile : public File {
   public:
    ShortFile(std::unique_ptr<File> f, const bool* failing) : f_(std::move(f)), failing_(failing) {}
    int64_t ReadAt(uint64_t o, void* b, size_t n) override { return f_->ReadAt(o, b, n); }
    int64_t WriteAt(uint64_t o, const void* b, size_t n) override {
      if (*failing_ && f_->host_path().find("zztemp") != std::string::npos && o + n > 2000)
        return 0;
      return f_->WriteAt(o, b, n);
    }
    int64_t Size() override { return f_->Size(); }
    bool Truncate(uint64_t s) override { return f_->Truncate(s); }
    bool Sync() override { return f_->Sync(); }
    bool Lock(uint64_t o, uint64_t l, bool e, bool w) override { return f_->Lock(o, l, e, w); }
    bool Unlock(uint64_t o, uint64_t l) override { return f_->Unlock(o, l); }
    int os_error() const override { return *failing_ ? kOsDiskFull : f_->os_error(); }
    const std::string& host_path() const override { return f_->host_path(); }

   private:
    std::unique_ptr<File> f_;
    const bool* failing_;
  };
  std::unique_ptr<File> OpenFile(std::string_view n, FileAccess a, FileShare s, int* c) override {
    auto f = EnvWrapper::OpenFile(n, a, s, c);
    return f == nullptr ? nullptr : std::make_unique<ShortFile>(std::move(f), &failing);
  }
  std::unique_ptr<File> CreateFile(std::string_view n, FileShare s, int* c) override {
    auto f = EnvWrapper::CreateFile(n, s, c);
    return f == nullptr ? nullptr : std::make_unique<ShortFile>(std::move(f), &failing);
  }
  bool failing = false;
};

const std::vector<FieldSpec> kOldCustomer = {
    {"CODE", 'C', 5}, {"NAME", 'C', 20}, {"QTY", 'N', 5}, {"OLDF", 'C', 10}};
const std::vector<FieldSpec> kNewCustomer = {{"CODE", 'C', 8},
                                             {"NAME", 'C', 20},
                                             {"QTY", 'N', 7, 2},
                                             {"NEWNUM", 'N', 6},
                                             {"NOTES", 'M', 10}};

class MigrationTest : public test::PathVarsTest {
 protected:
  MigrationTest() {
    ApplyInstallerSettings();
    std::filesystem::create_directories(Inst("temp"));
  }
  // Writes updatdef and the shipped tables straight into the temp folder.
  void Ship(const std::vector<UpdateTable>& tables) { WriteUpdateTables(Inst("temp"), tables); }
  void InstallCustomers() {
    test::MakeTable(Inst("customer"), kOldCustomer,
                    {{{"CODE", Value::String("A1")},
                      {"NAME", Value::String("Smith Aluminium")},
                      {"QTY", Value::Integer(12)},
                      {"OLDF", Value::String("gone")}},
                     {{"CODE", Value::String("B2")}, {"_DELETED", Value::Logical(true)}},
                     {{"CODE", Value::String("C3")},
                      {"NAME", Value::String("Jones Glass")},
                      {"QTY", Value::Integer(-7)}}});
  }
  void Migrate() { MigrateTables(paths_, progress_); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(Inst(name)); }
  void ExpectNoTemporaryFiles() const {
    EXPECT_FALSE(Exists("zztemp.dbf"));
    EXPECT_FALSE(Exists("zztemp.dbt"));
    EXPECT_FALSE(Exists(kRenameJournal));
  }
};

TEST_F(MigrationTest, RebuiltTableHasTheNewStructureAndEveryLiveRecord) {
  InstallCustomers();
  Ship({{.name = "customer", .fields = kNewCustomer}});
  Migrate();
  const TableData t = test::ReadTable(Inst("customer"));
  ASSERT_EQ(t.fields.size(), 5u);
  EXPECT_EQ(t.fields[0].len, 8);
  EXPECT_FALSE(t.Has("OLDF"));
  ASSERT_EQ(t.rows.size(), 2u);  // the deleted record is not carried
  EXPECT_EQ(t.rows[0].at("CODE").str(), "A1      ");
  EXPECT_EQ(t.rows[0].at("NAME").str(), "Smith Aluminium     ");
  EXPECT_DOUBLE_EQ(t.rows[0].at("QTY").number(), 12);
  EXPECT_DOUBLE_EQ(t.rows[1].at("QTY").number(), -7);
  EXPECT_DOUBLE_EQ(t.rows[0].at("NEWNUM").number(), 0);
  EXPECT_EQ(Text(t.rows[1].at("NOTES")), "");
  EXPECT_TRUE(Exists("customer.dbt"));
  ExpectNoTemporaryFiles();
  EXPECT_EQ(progress_.text, "Databases Updated");
  EXPECT_EQ(GetMemVars().Find("TDB_FILE1")->str(), paths_.to_drvpth + "customer.dbf");
  EXPECT_TRUE(TakeLines().empty());  // no alerts
}

TEST_F(MigrationTest, ATableThatHasTheShippedStructureIsLeftAsItIs) {
  InstallCustomers();
  Ship({{.name = "customer", .fields = kNewCustomer}});
  Migrate();
  const std::string migrated = test::ReadFileBytes(Inst("customer.dbf"));
  const std::string memo = test::ReadFileBytes(Inst("customer.dbt"));
  // The update run again: nothing to rebuild, deleted records and blank numbers stay.
  ASSERT_TRUE(DBUSEAREA(false, "", Inst("customer"), "customer", false, false));
  DBGOTOP();
  DBDELETE();
  DBCLOSEAREA();
  const std::string deleted = test::ReadFileBytes(Inst("customer.dbf"));
  ASSERT_NE(deleted, migrated);
  Migrate();
  EXPECT_EQ(test::ReadFileBytes(Inst("customer.dbf")), deleted);
  EXPECT_EQ(test::ReadFileBytes(Inst("customer.dbt")), memo);
  ExpectNoTemporaryFiles();
}

TEST_F(MigrationTest, MemoTextsTravelWithTheirRecords) {
  test::MakeTable(
      Inst("cquotes"), {{"CODE", 'C', 6}, {"NOTES", 'M', 10}},
      {{{"CODE", Value::String("Q1")}, {"NOTES", Value::String("first quote text")}},
       {{"CODE", Value::String("Q2")}, {"NOTES", Value::String(std::string(700, 'x'))}}});
  Ship({{.name = "cquotes", .fields = {{"CODE", 'C', 8}, {"DUE", 'D', 8}, {"NOTES", 'M', 10}}}});
  Migrate();
  const TableData t = test::ReadTable(Inst("cquotes"));
  ASSERT_EQ(t.rows.size(), 2u);
  EXPECT_EQ(Text(t.rows[0].at("NOTES")), "first quote text");
  EXPECT_EQ(t.rows[1].at("NOTES").str(), std::string(700, 'x'));
  ExpectNoTemporaryFiles();
}

TEST_F(MigrationTest, ShippedTablesReplaceOrJoinTheInstallation) {
  test::MakeTable(Inst("stdass"), {{"SHORTCUT", 'C', 6}},
                  {{{"SHORTCUT", Value::String("OLD1")}}, {{"SHORTCUT", Value::String("OLD2")}}});
  const std::vector<FieldSpec> glass = {{"CODE", 'C', 6}, {"NOTES", 'M', 10}};
  Ship({{.name = "stdass",
         .bring_recs = true,
         .fields = {{"SHORTCUT", 'C', 8}},
         .rows = {{{"SHORTCUT", Value::String("NEW")}}}},
        {.name = "glascat",  // not installed: copied in with its records
         .fields = glass,
         .rows = {{{"CODE", Value::String("FLOAT")}, {"NOTES", Value::String("clear float")}}}}});
  Migrate();
  const TableData stdass = test::ReadTable(Inst("stdass"));
  ASSERT_EQ(stdass.rows.size(), 1u);
  EXPECT_EQ(Text(stdass.rows[0].at("SHORTCUT")), "NEW");
  const TableData glascat = test::ReadTable(Inst("glascat"));
  ASSERT_EQ(glascat.rows.size(), 1u);
  EXPECT_EQ(Text(glascat.rows[0].at("NOTES")), "clear float");
  ExpectNoTemporaryFiles();
}

TEST_F(MigrationTest, EmptyOrMissingUpdateDefinition) {
  Ship({});
  Migrate();
  EXPECT_EQ(progress_.text, "Databases Updated");
  EXPECT_TRUE(TakeLines().empty());

  std::filesystem::remove(Inst("temp/updatdef.dbf"));
  InstallCustomers();
  Migrate();
  EXPECT_EQ(TakeLines(), (std::vector<std::string>{"[Alert] Unable to open " + paths_.temp_drvpth +
                                                   "updatdef.dbf. No tables were updated."}));
  EXPECT_EQ(test::ReadTable(Inst("customer")).fields.size(), 4u);
}

TEST_F(MigrationTest, TableInUseElsewhereKeepsItsStructureAndRecords) {
  InstallCustomers();
  Ship({{.name = "customer", .fields = kNewCustomer}});
  const std::string before = test::ReadFileBytes(Inst("customer.dbf"));
  {
    int code = 0;
    std::unique_ptr<File> other = Env::Default()->OpenFile(
        Inst("customer.dbf"), FileAccess::kReadWrite, FileShare::kDenyNone, &code);
    ASSERT_NE(other, nullptr);
    Migrate();
  }
  EXPECT_EQ(TakeLines(), (std::vector<std::string>{
                             "[Alert] Unable to Update CUSTOMER. The table is in use on another "
                             "workstation; it keeps its old structure."}));
  EXPECT_EQ(test::ReadFileBytes(Inst("customer.dbf")), before);
  ExpectNoTemporaryFiles();

  Migrate();  // once the other workstation has let go, the update goes through
  EXPECT_EQ(test::ReadTable(Inst("customer")).fields.size(), 5u);
}

TEST_F(MigrationTest, FailedCopyOfTheRecordsLeavesTheInstalledTable) {
  std::vector<Row> many;
  for (int i = 0; i < 200; ++i) many.push_back({{"CODE", Value::String("C" + std::to_string(i))}});
  test::MakeTable(Inst("customer"), kOldCustomer, many);
  Ship({{.name = "customer", .fields = kNewCustomer}});
  const std::string before = test::ReadFileBytes(Inst("customer.dbf"));
  FullDiskEnv full(&clock_);
  full.failing = true;
  {
    ScopedEnv scope(&full);
    Migrate();
  }
  const std::vector<std::string> lines = TakeLines();
  EXPECT_TRUE(HasLine(lines,
                      "[Alert] Unable to Update CUSTOMER. Its records could not all be "
                      "copied to the new structure; it keeps its old structure."))
      << lines.size();
  EXPECT_FALSE(RecordedErrors().empty());  // the write errors went to the handler
  EXPECT_EQ(test::ReadFileBytes(Inst("customer.dbf")), before);
  ExpectNoTemporaryFiles();
}

TEST_F(MigrationTest, ShippedTableMissingFromTheArchive) {
  InstallCustomers();
  Ship({{.name = "customer", .fields = kNewCustomer}});
  std::filesystem::remove(Inst("temp/customer.dbf"));
  std::filesystem::remove(Inst("temp/customer.dbt"));
  Migrate();
  EXPECT_TRUE(HasLine(TakeLines(),
                      "[Alert] Unable to Update CUSTOMER. The update holds no table customer."));
  EXPECT_EQ(test::ReadTable(Inst("customer")).fields.size(), 4u);
}

}  // namespace
}  // namespace px
