// pxdb restore on a sample installation after a real update: the tables come back byte
// for byte, a restore that cannot be done changes nothing, and one killed midway is
// completed at the next start of pxdb.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "tests/forked_process.h"
#include "tests/test_util.h"
#include "tests/tools/pxdb_test_util.h"
#include "tests/tools/sample_update.h"

namespace px {
namespace {

namespace fs = std::filesystem;
using test::Pxdb;

class PxdbRestoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A Windows child replaying the test works on the parent's installation, which is
    // updated already; it is only told the number of the update's backup.
    if (test::IsReplayingChild()) {
      const char* backup = std::getenv("PX_TEST_UPDATE_BACKUP");
      backup_ = backup != nullptr ? backup : "";
      return;
    }
    test::MakeSampleInstallation(Inst());
    test::MakeCustomerUpdate(Inst(), dir_.File("upd"), 20);
    before_ = test::TableFiles(Inst());
    backup_ = Pxdb({"eval", Inst("sysinfo.dbf"), "BACKUP"}).out;
    backup_ = std::to_string(std::max(1, std::stoi(backup_.substr(backup_.rfind('\t') + 1))));
    ASSERT_EQ(test::RunInstaller(Inst(), dir_.File("upd")), 0);
    ASSERT_TRUE(fs::exists(Inst("backup/PXB" + backup_ + ".zip")));
    ASSERT_NE(test::TableFiles(Inst())["customer.dbf"], before_["customer.dbf"]);
    test::SetEnvVar("PX_TEST_UPDATE_BACKUP", backup_);
  }

  std::string Inst(const std::string& name = "") const {
    return dir_.File("inst") + (name.empty() ? "" : "/" + name);
  }

  // The update's backup archive ("inst/backup/PXBn.zip") and the next one.
  std::string Backup(int next = 0) const {
    return "inst/backup/PXB" + std::to_string(std::stoi(backup_) + next) + ".zip";
  }

  // Every table file of the backup is back as it was before the update. sysinfo is
  // the exception: its backup counter keeps the higher value of the restore's own
  // backup, so no later backup writes into an archive that exists.
  // counter_after: sysinfo's backup counter after the restore, relative to the number
  // of the update's backup.
  void ExpectTablesAsBeforeTheUpdate(bool scratch_left = false, int counter_after = 2) {
    const auto now = test::TableFiles(Inst());
    for (const auto& [name, bytes] : before_) {
      if (name == "sysinfo.dbf") continue;
      ASSERT_EQ(now.count(name), 1u) << name;
      EXPECT_TRUE(now.at(name) == bytes) << name << " differs";
    }
    const std::string counter = Pxdb({"eval", Inst("sysinfo.dbf"), "BACKUP"}).out;
    EXPECT_EQ(std::stoi(counter.substr(counter.rfind('\t') + 1)),
              std::stoi(backup_) + counter_after)
        << counter;
    // A restore killed midway may leave its scratch folder, which the next one clears.
    if (!scratch_left) {
      EXPECT_FALSE(fs::exists(Inst("zzrestor")));
    }
    EXPECT_FALSE(fs::exists(Inst("zzrename.jnl")));
  }

  test::ScratchDir dir_;
  test::ToolsOnPath tools_;
  std::map<std::string, std::string> before_;
  std::string backup_;  // the number of the update's backup
};

TEST_F(PxdbRestoreTest, RestoreAfterAnUpdateGivesBackTheTablesAndCanBeUndone) {
  const test::PxdbResult r = Pxdb({"restore", Backup(), "--folder", "inst"});
  ASSERT_EQ(r.code, 0) << r.err << r.out;
  const std::string next = Backup(1).substr(5);  // "backup/PXBn.zip"
  EXPECT_NE(r.out.find("current tables saved in backup\\" + next.substr(7) + "\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("restored customer.dbt\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Indexing CUSTOMER To CUSTNAME"), std::string::npos) << r.out;
  ExpectTablesAsBeforeTheUpdate();
  EXPECT_EQ(Pxdb({"check", "--catalogue", "inst"}).code, 0);
  // The restore's own backup holds the updated tables.
  ASSERT_TRUE(fs::exists(Inst(next)));
  const std::string updated = test::ReadFileBytes(Inst("customer.dbf"));
  ASSERT_EQ(Pxdb({"restore", Backup(1), "--folder", "inst"}).code, 0);
  EXPECT_NE(test::ReadFileBytes(Inst("customer.dbf")), updated);
  EXPECT_EQ(Pxdb({"struct", Inst("customer.dbf")}).out.find("FAX "), std::string::npos);
}

TEST_F(PxdbRestoreTest, RestoreThatCannotBeDoneChangesNothing) {
  Env* env = GetEnv();
  const struct {
    const char* name;
    std::function<void()> prepare;
    const char* archive;
    const char* message;
  } cases[] = {
      {"damaged archive",
       [&] {
         std::string bytes = test::ReadFileBytes(dir_.File(Backup()));
         bytes[bytes.size() / 2] ^= 0x55;
         test::WriteFileBytes(dir_.File("damaged.zip"), bytes);
       },
       "damaged.zip", "does not read back whole"},
      {"missing archive", [] {}, "none.zip", "there is no backup archive none.zip"},
      {"table held elsewhere", [] {}, "",
       "CUSTOMER.DBF is in use on another workstation; nothing was changed"},
  };
  const auto after_update = test::TableFiles(Inst());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.prepare();
    int code = 0;
    std::unique_ptr<File> held =
        env->OpenFile(Inst("customer.dbf"), FileAccess::kRead, FileShare::kDenyNone, &code);
    if (std::string(c.name) != "table held elsewhere") held.reset();
    const std::string archive = *c.archive ? c.archive : Backup();
    test::ExpectOneLineError(Pxdb({"restore", archive, "--folder", "inst"}), c.message);
    held.reset();
    EXPECT_TRUE(test::TableFiles(Inst()) == after_update);
    EXPECT_FALSE(fs::exists(dir_.File(Backup(1))));
  }
}

// With the backup counter set back (a counter record that could not be locked), the
// restore's own backup draws the number of the archive being restored and adds to it:
// what is restored is still what the archive held.
TEST_F(PxdbRestoreTest, BackupIntoTheArchiveBeingRestoredRestoresItAllTheSame) {
  DBSELECTAREA(0);
  ASSERT_TRUE(DBUSEAREA(false, "", Inst("sysinfo"), "SYSINFO", false, false));
  FIELDPUT(FIELDPOS("BACKUP"), Value::Integer(std::stoi(backup_)));
  DBCLOSEAREA();
  const test::PxdbResult r = Pxdb({"restore", Backup(), "--folder", "inst"});
  ASSERT_EQ(r.code, 0) << r.err;
  ExpectTablesAsBeforeTheUpdate(false, 1);
}

// Stops the process for good at the second file the restore renames into place.
class KillAtSecondRename : public EnvWrapper {
 public:
  using EnvWrapper::EnvWrapper;
  int ReplaceFile(std::string_view from, std::string_view to) override {
    if (from.rfind("zzrestor/", 0) == 0 && ++renames_ == 2) test::KillThisProcess();
    return EnvWrapper::ReplaceFile(from, to);
  }

 private:
  int renames_ = 0;
};

TEST_F(PxdbRestoreTest, RestoreKilledMidwayIsCompletedAtTheNextStart) {
  test::ForkedProcess child([this](test::Channel&) {
    KillAtSecondRename env(GetEnv());
    ScopedEnv scope(&env);
    return Pxdb({"restore", Backup(), "--folder", "inst"}).code;
  });
  EXPECT_EQ(child.Join(), -1);  // killed
  ASSERT_TRUE(fs::exists(Inst("zzrename.jnl")));
  // Any pxdb command started in the folder finishes the renames first; asking for help
  // leaves the folder alone.
  ASSERT_EQ(chdir(Inst().c_str()), 0);
  EXPECT_EQ(Pxdb({"restore", "--help"}).code, 0);
  EXPECT_TRUE(fs::exists("zzrename.jnl"));
  EXPECT_EQ(Pxdb({"count", "customer.dbf"}).code, 0);
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  ExpectTablesAsBeforeTheUpdate(/*scratch_left=*/true);
}

}  // namespace
}  // namespace px
