// Replacing a table and its memo file as one unit, and finishing after a stop.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/driver/rename_journal.h"
#include "runtime/env.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

// Fails ReplaceFile for one target name.
class FailingReplaceEnv : public EnvWrapper {
 public:
  FailingReplaceEnv() : EnvWrapper(Env::Default()) {}
  int ReplaceFile(std::string_view from, std::string_view to) override {
    if (!failing_target.empty() && to.ends_with(failing_target)) return kOsAccessDenied;
    return EnvWrapper::ReplaceFile(from, to);
  }
  int64_t NowMicros() override { return now_; }
  void SleepMicros(int64_t micros) override { now_ += micros; }
  std::string failing_target;

 private:
  int64_t now_ = 0;
};

class RenameJournalTest : public testing::Test {
 protected:
  RenameJournalTest() : scope_(&env_) {
    WriteFileBytes(dir_.File("zztemp.dbf"), "new table");
    WriteFileBytes(dir_.File("zztemp.dbt"), "new memo");
    WriteFileBytes(dir_.File("cust.dbf"), "old table");
    WriteFileBytes(dir_.File("cust.dbt"), "old memo");
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(dir_.File(name)); }
  const std::vector<PendingRename> renames_ = {{"zztemp.dbf", "cust.dbf"},
                                               {"zztemp.dbt", "cust.dbt"}};
  test::ScratchDir dir_;
  FailingReplaceEnv env_;
  ScopedEnv scope_;
};

TEST_F(RenameJournalTest, BothFilesReplacedAndNoJournalLeft) {
  int code = -1;
  EXPECT_EQ(ReplaceAsOne(dir_.path() + "/", renames_, &code), ReplaceOutcome::kDone);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFileBytes(dir_.File("cust.dbf")), "new table");
  EXPECT_EQ(ReadFileBytes(dir_.File("cust.dbt")), "new memo");
  EXPECT_FALSE(Exists("zztemp.dbf"));
  EXPECT_FALSE(Exists("zztemp.dbt"));
  EXPECT_FALSE(Exists(kRenameJournal));
  // Names without a folder are in the current folder; a missing target is created.
  WriteFileBytes(dir_.File("zztemp.dbf"), "another");
  EXPECT_EQ(ReplaceAsOne("", {{"zztemp.dbf", "fresh.dbf"}}, &code), ReplaceOutcome::kDone);
  EXPECT_EQ(ReadFileBytes(dir_.File("fresh.dbf")), "another");
}

TEST_F(RenameJournalTest, AFileHeldElsewhereLeavesEverythingAsItWas) {
  int code = 0;
  std::unique_ptr<File> held =
      GetEnv()->OpenFile(dir_.File("cust.dbt"), FileAccess::kRead, FileShare::kDenyNone, &code);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(ReplaceAsOne("", renames_, &code), ReplaceOutcome::kUnchanged);
  EXPECT_EQ(code, kOsSharingViolation);
  EXPECT_EQ(ReadFileBytes(dir_.File("cust.dbf")), "old table");
  EXPECT_EQ(ReadFileBytes(dir_.File("cust.dbt")), "old memo");
  EXPECT_TRUE(Exists("zztemp.dbf"));
  EXPECT_FALSE(Exists(kRenameJournal));
}

TEST_F(RenameJournalTest, AFailedSecondRenameIsFinishedAtTheNextStart) {
  env_.failing_target = "cust.dbt";
  int code = 0;
  EXPECT_EQ(ReplaceAsOne("", renames_, &code), ReplaceOutcome::kPending);
  EXPECT_EQ(code, kOsAccessDenied);
  EXPECT_EQ(ReadFileBytes(dir_.File("cust.dbf")), "new table");
  EXPECT_EQ(ReadFileBytes(dir_.File("zztemp.dbt")), "new memo");  // the only copy stays
  EXPECT_TRUE(Exists(kRenameJournal));
  EXPECT_FALSE(CompletePendingRenames(""));  // still failing: the journal stays
  EXPECT_TRUE(Exists(kRenameJournal));

  env_.failing_target.clear();
  EXPECT_TRUE(CompletePendingRenames(""));
  EXPECT_EQ(ReadFileBytes(dir_.File("cust.dbt")), "new memo");
  EXPECT_FALSE(Exists(kRenameJournal));
  EXPECT_TRUE(CompletePendingRenames(""));  // nothing left to do
}

TEST_F(RenameJournalTest, JournalsLeftByAStopAreReadCarefully) {
  // Killed after the table's rename: the memo file is still to go.
  std::error_code ec;
  std::filesystem::rename(dir_.File("zztemp.dbf"), dir_.File("cust.dbf"), ec);
  ASSERT_FALSE(ec) << ec.message();
  WriteFileBytes(dir_.File(kRenameJournal), "zztemp.dbf\tcust.dbf\nzztemp.dbt\tcust.dbt\n");
  EXPECT_TRUE(CompletePendingRenames(dir_.path() + "/"));
  EXPECT_EQ(ReadFileBytes(dir_.File("cust.dbf")), "new table");
  EXPECT_EQ(ReadFileBytes(dir_.File("cust.dbt")), "new memo");

  // Killed while the journal was being written: nothing had been renamed.
  WriteFileBytes(dir_.File("zzrename.tmp"), "zztemp.dbf\tcu");
  EXPECT_TRUE(CompletePendingRenames(""));
  EXPECT_FALSE(Exists("zzrename.tmp"));

  // A damaged journal is not acted on.
  WriteFileBytes(dir_.File(kRenameJournal), "zztemp.dbf cust.dbf\n");
  EXPECT_FALSE(CompletePendingRenames(""));
  EXPECT_TRUE(Exists(kRenameJournal));
}

}  // namespace
}  // namespace px
