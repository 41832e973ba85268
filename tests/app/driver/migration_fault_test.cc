// The structure migration with a read, write, rename, lock or truncation failing (or
// cut short) at every point in turn: afterwards the installed table, with its memo
// file, is either the old one with every record or the new one with every live record,
// and the next run of the migration finishes the job.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/driver/main.h"
#include "app/driver/migration.h"
#include "app/driver/rename_journal.h"
#include "runtime/error.h"
#include "tests/app/driver/driver_fixture.h"
#include "tests/engine/counting_fault_env.h"

namespace px {
namespace {

using test::CountingFaultEnv;
using test::FaultMode;
using test::FieldSpec;
using test::Row;
using test::TableData;
using test::Text;

constexpr int kRecords = 12;

const std::vector<FieldSpec> kOld = {{"CODE", 'C', 5}, {"QTY", 'N', 5}, {"NOTES", 'M', 10}};
const std::vector<FieldSpec> kNew = {
    {"CODE", 'C', 8}, {"QTY", 'N', 7, 2}, {"ADDED", 'N', 4}, {"NOTES", 'M', 10}};

std::string Note(int i) {
  // Short texts stay in one block, every third one spans two.
  return i % 3 == 0 ? std::string(600, static_cast<char>('a' + i)) : "note " + std::to_string(i);
}

class MigrationFaultTest : public test::PathVarsTest {
 protected:
  MigrationFaultTest() { ApplyInstallerSettings(); }

  // A fresh installed table and update, nothing else in the folder.
  void Prepare() {
    for (const auto& e : std::filesystem::directory_iterator(Inst())) {
      std::filesystem::remove_all(e.path());
    }
    std::filesystem::create_directories(Inst("temp"));
    std::vector<Row> rows;
    for (int i = 1; i <= kRecords; ++i) {
      rows.push_back({{"CODE", Value::String("C" + std::to_string(i))},
                      {"QTY", Value::Integer(i * 10)},
                      {"NOTES", Value::String(Note(i))}});
    }
    test::MakeTable(Inst("cquotes"), kOld, rows);
    WriteUpdateTables(Inst("temp"), {{.name = "cquotes", .fields = kNew}});
  }

  // "" when the installed table is the whole old or the whole new one, else what is wrong.
  std::string Whole() {
    const TableData t = test::ReadTable(Inst("cquotes"));
    const bool is_new = t.fields.size() == kNew.size();
    if (!is_new && t.fields.size() != kOld.size()) return "a structure of neither kind";
    if (t.rows.size() != static_cast<size_t>(kRecords)) {
      return std::string(is_new ? "new" : "old") + " table with " + std::to_string(t.rows.size()) +
             " records";
    }
    for (int i = 1; i <= kRecords; ++i) {
      const Row& r = t.rows[static_cast<size_t>(i - 1)];
      if (Text(r.at("CODE")) != "C" + std::to_string(i) || r.at("QTY").number() != i * 10 ||
          Text(r.at("NOTES")) != Text(Value::String(Note(i)))) {
        return "record " + std::to_string(i) + " differs";
      }
    }
    return "";
  }
  bool IsNew() { return test::ReadTable(Inst("cquotes")).fields.size() == kNew.size(); }
};

TEST_F(MigrationFaultTest, AFailureAtAnyPointLeavesTheOldOrTheNewTable) {
  CountingFaultEnv faults(&clock_);
  // A clean run tells how many operations the migration takes.
  Prepare();
  {
    ScopedEnv scope(&faults);
    faults.Disarm();
    MigrateTables(paths_, progress_);
  }
  const int64_t total = faults.ops();
  ASSERT_GT(total, 20);
  ASSERT_TRUE(IsNew());
  ASSERT_EQ(Whole(), "");
  TakeLines();
  ClearRecordedErrors();

  int new_tables = 0;
  for (FaultMode mode : {FaultMode::kFail, FaultMode::kShort}) {
    for (int64_t n = 1; n <= total; ++n) {
      SCOPED_TRACE("operation " + std::to_string(n) +
                   (mode == FaultMode::kFail ? " failing" : " cut short"));
      Prepare();
      {
        ScopedEnv scope(&faults);
        faults.Arm(n, mode);
        MigrateTables(paths_, progress_);
        faults.Disarm();
      }
      // As at the next start: renames the journal still lists are carried out first.
      ASSERT_TRUE(CompletePendingRenames(paths_.to_drvpth));
      EXPECT_EQ(Whole(), "");
      new_tables += IsNew() ? 1 : 0;
      // Running the migration again completes it.
      MigrateTables(paths_, progress_);
      EXPECT_TRUE(IsNew());
      EXPECT_EQ(Whole(), "");
      TakeLines();
      ClearRecordedErrors();
    }
  }
  // Failures before the table was replaced leave the old one for the second run;
  // failures after it (or retried ones) leave the new one.
  EXPECT_GT(new_tables, 0);
  EXPECT_LT(new_tables, 2 * total);
}

}  // namespace
}  // namespace px
