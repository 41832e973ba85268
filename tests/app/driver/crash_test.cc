// The update killed (SIGKILL) at many points of the migration and the index rebuild:
// after each kill every table holds its old structure with all its old records or its
// new structure with all its records, and running the update again completes it.
//
// A reference run counts the file changes of an update (writes, truncations, creations,
// deletions, renames); the kill points are spread over the changes from the first
// temporary table to the last index file. Each killed run works on a fresh copy of the
// installation in a child process. PX_CRASH_POINTS sets how many points are tried
// (40 by default, about 15 seconds).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "app/driver/main.h"
#include "app/driver/rename_journal.h"
#include "runtime/error.h"
#include "tests/app/driver/driver_fixture.h"

namespace px {
namespace {

using test::FieldSpec;
using test::Row;
using test::TableData;

// Counts the changes made to files and kills the process at a chosen one.
class KillingEnv : public EnvWrapper {
 public:
  KillingEnv(Env* target, int64_t kill_at) : EnvWrapper(target), kill_at_(kill_at) {}

  class CountingFile : public File {
   public:
    CountingFile(std::unique_ptr<File> f, KillingEnv* env) : f_(std::move(f)), env_(env) {}
    int64_t ReadAt(uint64_t o, void* b, size_t n) override { return f_->ReadAt(o, b, n); }
    int64_t WriteAt(uint64_t o, const void* b, size_t n) override {
      env_->Change(f_->host_path());
      return f_->WriteAt(o, b, n);
    }
    int64_t Size() override { return f_->Size(); }
    bool Truncate(uint64_t s) override {
      env_->Change(f_->host_path());
      return f_->Truncate(s);
    }
    bool Sync() override { return f_->Sync(); }
    bool Lock(uint64_t o, uint64_t l, bool e, bool w) override { return f_->Lock(o, l, e, w); }
    bool Unlock(uint64_t o, uint64_t l) override { return f_->Unlock(o, l); }
    int os_error() const override { return f_->os_error(); }
    const std::string& host_path() const override { return f_->host_path(); }

   private:
    std::unique_ptr<File> f_;
    KillingEnv* env_;
  };

  std::unique_ptr<File> OpenFile(std::string_view n, FileAccess a, FileShare s, int* c) override {
    auto f = EnvWrapper::OpenFile(n, a, s, c);
    return f == nullptr ? nullptr : std::make_unique<CountingFile>(std::move(f), this);
  }
  std::unique_ptr<File> CreateFile(std::string_view n, FileShare s, int* c) override {
    Change(n);
    auto f = EnvWrapper::CreateFile(n, s, c);
    return f == nullptr ? nullptr : std::make_unique<CountingFile>(std::move(f), this);
  }
  int DeleteFile(std::string_view n) override {
    Change(n);
    return EnvWrapper::DeleteFile(n);
  }
  int RenameFile(std::string_view from, std::string_view to) override {
    Change(from);
    return EnvWrapper::RenameFile(from, to);
  }
  int ReplaceFile(std::string_view from, std::string_view to) override {
    Change(from);
    return EnvWrapper::ReplaceFile(from, to);
  }

  void Change(std::string_view name) {
    ++changes_;
    if (first_temp < 0 && name.find("zztemp") != std::string_view::npos) first_temp = changes_;
    if (name.ends_with(".ntx") || name.ends_with(".NTX")) last_index = changes_;
    if (changes_ == kill_at_) raise(SIGKILL);
  }
  int64_t changes() const { return changes_; }

  int64_t first_temp = -1;
  int64_t last_index = -1;

 private:
  int64_t kill_at_;
  int64_t changes_ = 0;
};

const std::vector<FieldSpec> kOldCustomer = {
    {"CODE", 'C', 6}, {"NAME", 'C', 20}, {"QTY", 'N', 5}, {"OLDF", 'C', 8}};
const std::vector<FieldSpec> kNewCustomer = {{"CODE", 'C', 10},
                                             {"NAME", 'C', 20},
                                             {"QTY", 'N', 7, 2},
                                             {"NEWNUM", 'N', 6},
                                             {"NOTES", 'M', 10}};
const std::vector<FieldSpec> kOldQuotes = {{"CODE", 'C', 8}, {"NOTES", 'M', 10}};
const std::vector<FieldSpec> kNewQuotes = {{"CODE", 'C', 8}, {"DUE", 'D', 8}, {"NOTES", 'M', 10}};

class CrashTest : public test::DriverTest {
 protected:
  CrashTest() {
    ApplyInstallerSettings();
    MakeInstallation();
    std::vector<Row> customers, quotes, staff;
    for (int i = 0; i < 300; ++i) {
      customers.push_back({{"CODE", Value::String("C" + std::to_string(1000 + i))},
                           {"NAME", Value::String("Customer " + std::to_string(i))},
                           {"QTY", Value::Integer(i % 97)},
                           {"OLDF", Value::String("x")}});
    }
    customers[17]["_DELETED"] = Value::Logical(true);
    for (int i = 0; i < 200; ++i) {
      quotes.push_back({{"CODE", Value::String("Q" + std::to_string(5000 + i))},
                        {"NOTES", Value::String(std::string(50 + (i * 37) % 900, 'a' + i % 26))}});
    }
    for (int i = 0; i < 20; ++i)
      staff.push_back({{"CODE", Value::String("S" + std::to_string(i))}});
    AddTable("customer", kOldCustomer, customers, {{"cucode", "CODE"}, {"cuname", "UPPER(NAME)"}});
    AddTable("cquotes", kOldQuotes, quotes, {{"cqcode", "CODE"}});
    AddTable("staff", {{"CODE", 'C', 6}}, staff, {{"stcode", "CODE"}}, "SITE\\");
    AddTable("stdass", {{"SHORTCUT", 'C', 6}}, {{{"SHORTCUT", Value::String("OLD")}}},
             {{"sashort", "SHORTCUT"}});
    site_catalogue_ = test::ReadTable(Inst("indexdef"));
    // The shipped catalogue: the same tables, staff without the site's folder, and a
    // new one.
    std::vector<Row> shipped;
    for (Row r : site_catalogue_.Live()) {
      r["PATH"] = Value::String("");
      shipped.push_back(r);
    }
    Row glass = shipped.back();
    glass["DB_ALIAS"] = Value::String("GLASCAT");
    glass["DB_NAME"] = Value::String("glascat");
    glass["IN_NAME"] = Value::String("glcode");
    glass["IN_STR"] = Value::String("CODE");
    shipped.push_back(glass);
    MakeUpdate({{.name = "customer", .fields = kNewCustomer},
                {.name = "cquotes", .fields = kNewQuotes},
                {.name = "stdass",
                 .bring_recs = true,
                 .fields = {{"SHORTCUT", 'C', 8}},
                 .rows = {{{"SHORTCUT", Value::String("NEW")}}}},
                {.name = "glascat",
                 .fields = {{"CODE", 'C', 6}},
                 .rows = {{{"CODE", Value::String("FLOAT")}}}},
                {.name = "indexdef",
                 .bring_recs = true,
                 .fields = site_catalogue_.fields,
                 .rows = shipped}});
    std::filesystem::copy(Inst(), Pristine(), std::filesystem::copy_options::recursive);
    old_ = Snapshot();
  }

  std::string Pristine() const { return scratch_.path() + "/pristine"; }

  void RestorePristine() {
    if (chdir(scratch_.path().c_str()) != 0) FAIL();
    std::filesystem::remove_all(Inst());
    std::filesystem::copy(Pristine(), Inst(), std::filesystem::copy_options::recursive);
    if (chdir(Inst().c_str()) != 0) FAIL();
  }

  // Runs the whole update in this process.
  void RunUpdate() {
    backend_.Script(test::Answer({"D:\\"}, "OK"));
    MAIN();
    if (chdir(Inst().c_str()) != 0) FAIL();
    TakeLines();
  }

  std::map<std::string, TableData> Snapshot() {
    std::map<std::string, TableData> tables;
    for (const char* name :
         {"customer", "cquotes", "stdass", "glascat", "indexdef", "SITE/staff"}) {
      if (std::filesystem::exists(Inst(std::string(name) + ".dbf"))) {
        tables[name] = test::ReadTable(Inst(name));
      }
    }
    return tables;
  }

  static bool SameStructure(const TableData& a, const TableData& b) {
    if (a.fields.size() != b.fields.size()) return false;
    for (size_t i = 0; i < a.fields.size(); ++i) {
      if (a.fields[i].name != b.fields[i].name || a.fields[i].type != b.fields[i].type ||
          a.fields[i].len != b.fields[i].len || a.fields[i].dec != b.fields[i].dec) {
        return false;
      }
    }
    return true;
  }
  static bool Same(const TableData& a, const TableData& b) {
    return SameStructure(a, b) && a.Live() == b.Live();
  }
  // The catalogue may be caught while its paths are being carried over: its rows must
  // be whole, each with the shipped or the site's path.
  static bool SameCatalogue(const TableData& now, const TableData& want) {
    if (!SameStructure(now, want)) return false;
    const std::vector<Row> a = now.Live(), b = want.Live();
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      Row x = a[i], y = b[i];
      x.erase("PATH");
      y.erase("PATH");
      if (x != y) return false;
    }
    return true;
  }

  TableData site_catalogue_;
  std::map<std::string, TableData> old_;
};

TEST_F(CrashTest, KilledUpdatesLeaveOldOrNewTablesAndFinishWhenRunAgain) {
  int64_t first = 0, last = 0;
  {
    KillingEnv counting(&clock_, -1);
    ScopedEnv scope(&counting);
    RunUpdate();
    first = counting.first_temp;
    last = counting.last_index > 0 ? counting.last_index : counting.changes();
  }
  ASSERT_GT(first, 0);
  ASSERT_GT(last, first);
  const std::map<std::string, TableData> done = Snapshot();
  ASSERT_EQ(done.at("customer").fields.size(), kNewCustomer.size());
  ASSERT_EQ(test::Text(done.at("indexdef").rows[4].at("PATH")), "SITE\\");

  const char* points_text = std::getenv("PX_CRASH_POINTS");
  const int points = points_text != nullptr ? std::max(1, std::atoi(points_text)) : 40;
  std::set<int64_t> kill_points;
  for (int i = 0; i < points; ++i)
    kill_points.insert(first + (last - first) * i / std::max(1, points - 1));

  for (const int64_t kill_at : kill_points) {
    SCOPED_TRACE("killed at change " + std::to_string(kill_at) + " of " + std::to_string(first) +
                 ".." + std::to_string(last));
    RestorePristine();
    std::cout.flush();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      KillingEnv killing(&clock_, kill_at);
      ScopedEnv scope(&killing);
      RunUpdate();
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    // What the application sees once the installer has started again.
    ASSERT_TRUE(CompletePendingRenames(Inst() + "/"));
    const std::map<std::string, TableData> now = Snapshot();
    for (const auto& [name, table] : now) {
      SCOPED_TRACE(name);
      if (name == "indexdef") {
        EXPECT_TRUE(SameCatalogue(table, old_.at(name)) || SameCatalogue(table, done.at(name)));
      } else if (old_.count(name) != 0) {
        EXPECT_TRUE(Same(table, old_.at(name)) || Same(table, done.at(name)));
      } else {
        EXPECT_TRUE(Same(table, done.at(name)));
      }
    }
    EXPECT_FALSE(std::filesystem::exists(Inst(kRenameJournal)));

    RunUpdate();
    const std::map<std::string, TableData> finished = Snapshot();
    for (const auto& [name, table] : done) {
      SCOPED_TRACE(name);
      ASSERT_EQ(finished.count(name), 1u);
      EXPECT_TRUE(Same(finished.at(name), table));
    }
    EXPECT_FALSE(std::filesystem::exists(Inst("zztemp.dbf")));
  }
}

}  // namespace
}  // namespace px
