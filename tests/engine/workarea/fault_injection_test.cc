// Fault injection: a pack, an index build, key maintenance and the migration of a table
// run once with nothing failing to count their file operations, then once with each of
// those operations failing (and once with it coming up short). Whatever fails, the error
// reaches the handler, no live record is lost or altered, the table opens cleanly and
// every index either checks clean against its table or is reported damaged by the
// check, never silently wrong. A pack leaves the old table or the packed one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/ntx/ntx_area.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/file_ops.h"
#include "engine/workarea/maintenance.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "runtime/error.h"
#include "tests/engine/counting_fault_env.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::CountingFaultEnv;
using test::FaultMode;

// The records of a table as stored: deletion flag and field bytes.
std::vector<std::string> RawRecords(const std::string& table, std::string* problem) {
  std::vector<std::string> out;
  const size_t errors = RecordedErrors().size();
  if (!DBUSEAREA(true, "", table, "CHECK", false, true)) {
    *problem = "the table does not open";
    return out;
  }
  const uint32_t count = RECCOUNT();
  std::string rec;
  for (uint32_t r = 1; r <= count; ++r) {
    DBGOTO(r);
    if (!CurrentArea()->GetRecord(&rec)) break;
    out.push_back(rec);
  }
  DBCLOSEAREA();
  if (RecordedErrors().size() != errors) *problem = "reading the table raised an error";
  return out;
}

// The deletion flags and codes of records, for messages.
std::string Codes(const std::vector<std::string>& records) {
  std::string out;
  for (const std::string& r : records) out += r.substr(0, 6) + (r.size() > 40 ? "+" : "") + " ";
  return out;
}

std::vector<std::string> Live(const std::vector<std::string>& records) {
  std::vector<std::string> out;
  for (const std::string& r : records) {
    if (!r.empty() && r[0] != '*') out.push_back(r);
  }
  return out;
}

// "" when every index checks clean against the table, else what its check reports.
std::string CheckIndexes(const std::string& table, const std::vector<std::string>& indexes,
                         bool* all_clean) {
  *all_clean = true;
  std::string out;
  if (!DBUSEAREA(true, "", table, "CHECK", false, true)) return "the table does not open";
  auto* area = dynamic_cast<NtxArea*>(CurrentArea());
  for (const std::string& index : indexes) {
    ORDLISTCLEAR();
    ORDLISTADD(index);
    if (area->order_count() != 1) {
      *all_clean = false;
      out += index + ": does not open\n";
      continue;
    }
    const ntx::VerifyReport report = area->CheckOrder(*area->order(1));
    if (!report.ok()) {
      *all_clean = false;
      out += index + ": " + report.problems.front() + "\n";
    }
  }
  DBCLOSEAREA();
  return out;
}

// Files of a scenario, saved once and put back before every run.
class Snapshot {
 public:
  explicit Snapshot(const test::ScratchDir& dir, std::vector<std::string> names)
      : dir_(dir), names_(std::move(names)) {
    for (const std::string& n : names_) bytes_[n] = test::ReadFileBytes(dir_.File(n));
  }
  void Restore() const {
    for (const auto& [name, bytes] : bytes_) test::WriteFileBytes(dir_.File(name), bytes);
  }

 private:
  const test::ScratchDir& dir_;
  std::vector<std::string> names_;
  std::map<std::string, std::string> bytes_;
};

// What one faulted run did.
struct RunOutcome {
  bool fired = false;
  test::OpKind kind = test::OpKind::kRead;
  size_t errors = 0;  // errors that reached the handler
};

class FaultInjectionTest : public testing::Test {
 protected:
  void SetUp() override {
    SetReportHook(nullptr);
    ClearRecordedErrors();
  }

  // Runs `operation` on the fault env with operation n failing (0: none) and returns
  // what happened. Every area is closed afterwards, with nothing failing.
  template <typename Op>
  RunOutcome RunWithFault(int64_t n, FaultMode mode, Op operation) {
    ResetWorkAreasForTesting();
    ClearRecordedErrors();
    ScopedEnv scoped(&env_);
    env_.Arm(n, mode);
    operation();
    RunOutcome out{env_.fired(), env_.fired_kind(), RecordedErrors().size()};
    env_.Disarm();
    DBCLOSEALL();
    ResetWorkAreasForTesting();
    return out;
  }

  // The number of file operations of a clean run (which must raise nothing).
  template <typename Op>
  int64_t CountOps(Op operation) {
    ResetWorkAreasForTesting();
    ClearRecordedErrors();
    ScopedEnv scoped(&env_);
    env_.Disarm();
    operation();
    const int64_t n = env_.ops();
    EXPECT_TRUE(RecordedErrors().empty()) << ERRORMESSAGE(RecordedErrors().front());
    DBCLOSEALL();
    ResetWorkAreasForTesting();
    return n;
  }

  static std::string Describe(int64_t n, FaultMode mode, const RunOutcome& o) {
    return std::string(mode == FaultMode::kFail ? "failed " : "short ") + test::OpKindName(o.kind) +
           " #" + std::to_string(n);
  }

  CountingFaultEnv env_;
  test::ScratchDir dir_;
};

// A table of `count` records: CODE "K0001".., NAME one of five, AMT; every third deleted.
// A filler field makes records wide, so that few fit in the pack's 256 KiB chunks.
void MakeTable(const std::string& table, int count, bool with_memo, uint32_t filler = 0) {
  std::vector<FieldDef> fields = {test::Field("CODE", 'C', 5), test::Field("NAME", 'C', 8),
                                  test::Field("AMT", 'N', 8, 2)};
  if (with_memo) fields.push_back(test::Field("NOTE", 'M', 10));
  if (filler > 0) fields.push_back(test::Field("FILL", 'C', filler));
  ASSERT_TRUE(test::CreateTable(table, fields));
  ASSERT_TRUE(test::UseTable(table));
  static const char* const kNames[5] = {"SMITH", "JONES", "BROWN", "SMITH", "TAYLOR"};
  for (int i = 1; i <= count; ++i) {
    ASSERT_TRUE(DBAPPEND());
    char code[16];
    std::snprintf(code, sizeof code, "K%04d", i);
    FIELDPUT(1, Value::String(code));
    FIELDPUT(2, Value::String(kNames[i % 5]));
    FIELDPUT(3, Value::Double(i * 1.25, 8, 2));
    if (with_memo) FIELDPUT(4, Value::String(std::string(static_cast<size_t>(i * 7 % 600), 'm')));
    if (filler > 0) FIELDPUT(FIELDPOS("FILL"), Value::String(std::string(filler, 'f')));
    if (i % 3 == 0) DBDELETE();
  }
  DBCLOSEAREA();
}

void MakeIndexes(const std::string& table) {
  ASSERT_TRUE(test::UseTable(table));
  ORDCREATE("code", "", "CODE");
  ORDCREATE("name", "", "NAME+CODE");
  DBCLOSEAREA();
}

TEST_F(FaultInjectionTest, PackWithOpenOrders) {
  // Records of 16 KiB: 16 to a chunk, so the pack copies them in five chunks.
  MakeTable("pk.dbf", 75, true, 16000);
  MakeIndexes("pk.dbf");
  std::string problem;
  const std::vector<std::string> before = RawRecords("pk.dbf", &problem);
  ASSERT_EQ(problem, "");
  // A pack changes no record's bytes: the packed table holds exactly the live ones.
  const std::vector<std::string> packed = Live(before);
  const Snapshot snapshot(dir_, {"pk.dbf", "pk.dbt", "code.ntx", "name.ntx"});
  // The copy of the packed table is created and synced: those can fail too.
  env_.CountCreatesAndSyncs();
  bool result = false;
  auto pack = [&result] {
    result = false;
    if (!test::UseTable("pk.dbf")) return;
    ORDLISTADD("code");
    ORDLISTADD("name");
    result = DBPACK();
  };
  const int64_t ops = CountOps(pack);
  ASSERT_TRUE(result);
  ASSERT_GT(ops, 5);
  std::printf("pack: %lld operations\n", static_cast<long long>(ops));
  int interrupted_packed = 0, damaged_index = 0;
  for (FaultMode mode : {FaultMode::kFail, FaultMode::kShort}) {
    for (int64_t n = 1; n <= ops; ++n) {
      snapshot.Restore();
      const RunOutcome o = RunWithFault(n, mode, pack);
      const std::string what = Describe(n, mode, o);
      ASSERT_TRUE(o.fired) << what;
      std::string problem;
      const std::vector<std::string> after = RawRecords("pk.dbf", &problem);
      ASSERT_EQ(problem, "") << what;
      EXPECT_FALSE(GetEnv()->FileExists("pk.zpk")) << what << ": the copy was left behind";
      bool clean = false;
      const std::string index_report = CheckIndexes("pk.dbf", {"code", "name"}, &clean);
      // The table is the old one or the packed one, never something in between.
      const bool is_old = after == before, is_packed = after == packed;
      EXPECT_TRUE(is_old || is_packed)
          << what << "\nnow:    " << Codes(after) << "\nbefore: " << Codes(before);
      if (o.errors == 0) {
        // Nothing reported: the pack must have been done completely and right.
        EXPECT_TRUE(result) << what;
        EXPECT_TRUE(is_packed) << what;
        EXPECT_TRUE(clean) << what << "\n" << index_report;
        continue;
      }
      // A pack that reports success has packed the table.
      if (result) {
        EXPECT_TRUE(is_packed) << what;
      }
      // Before the packed table takes its place nothing touches the indexes.
      if (is_old) {
        EXPECT_TRUE(clean) << what << "\n" << index_report;
      }
      if (is_packed) ++interrupted_packed;
      if (!clean) ++damaged_index;
    }
  }
  std::printf("pack: %d failed runs had packed the table, %d left an index the check reports\n",
              interrupted_packed, damaged_index);
}

TEST_F(FaultInjectionTest, IndexBuild) {
  MakeTable("ib.dbf", 400, false);
  std::string problem;
  const std::vector<std::string> before = RawRecords("ib.dbf", &problem);
  const Snapshot snapshot(dir_, {"ib.dbf"});
  // Two runs of the system's sort, merged from the run file; then sorted keys moved to
  // the run file 16 at a time.
  ntx::BuildOptions system_runs, spilled;
  system_runs.memory_budget = 6000;
  spilled.sort_memory = 1;
  for (ntx::BuildOptions options : {system_runs, spilled}) {
    options.temp_folder = dir_.path();
    auto build = [this, &options] {
      FERASE(dir_.File("ib.ntx"));
      if (!test::UseTable("ib.dbf")) return;
      dynamic_cast<NtxArea*>(CurrentArea())->set_build_options(options);
      DBCREATEINDEX("ib", "NAME+CODE");
    };
    const int64_t ops = CountOps(build);
    ASSERT_GT(ops, 5);
    std::printf("index build: %lld operations\n", static_cast<long long>(ops));
    for (FaultMode mode : {FaultMode::kFail, FaultMode::kShort}) {
      for (int64_t n = 1; n <= ops; ++n) {
        snapshot.Restore();
        const RunOutcome o = RunWithFault(n, mode, build);
        const std::string what = Describe(n, mode, o);
        ASSERT_TRUE(o.fired) << what;
        std::string problem;
        EXPECT_EQ(RawRecords("ib.dbf", &problem), before) << what;
        ASSERT_EQ(problem, "") << what;
        bool clean = false;
        const bool exists = GetEnv()->FileExists(dir_.File("ib.ntx"));
        if (o.errors == 0) {
          ASSERT_TRUE(exists) << what;
          const std::string report = CheckIndexes("ib.dbf", {"ib"}, &clean);
          EXPECT_TRUE(clean) << what << "\n" << report;
        } else if (exists) {
          CheckIndexes("ib.dbf", {"ib"}, &clean);  // clean or reported; must not crash
        }
      }
    }
  }
}

TEST_F(FaultInjectionTest, KeyMaintenanceWithOpenOrders) {
  MakeTable("km.dbf", 150, false);
  MakeIndexes("km.dbf");
  std::string problem;
  const std::vector<std::string> before = RawRecords("km.dbf", &problem);
  const Snapshot snapshot(dir_, {"km.dbf", "code.ntx", "name.ntx"});
  // Changes indexed fields of three records and appends two, in a shared table.
  auto maintain = [] {
    if (!DBUSEAREA(true, "", "km.dbf", "KM", true, false)) return;
    ORDLISTADD("code");
    ORDLISTADD("name");
    for (uint32_t r : {5u, 77u, 149u}) {
      DBGOTO(r);
      if (!RLOCK()) continue;
      FIELDPUT(1, Value::String("A" + std::to_string(r)));
      FIELDPUT(2, Value::String("ZED"));
      DBUNLOCK();
    }
    for (int i = 0; i < 2; ++i) {
      if (!DBAPPEND()) continue;
      FIELDPUT(1, Value::String("N" + std::to_string(i)));
      FIELDPUT(2, Value::String("NEW"));
      DBUNLOCK();
    }
    DBCOMMIT();
  };
  const int64_t ops = CountOps(maintain);
  std::string clean_problem;
  const std::vector<std::string> after_clean = RawRecords("km.dbf", &clean_problem);
  ASSERT_GT(ops, 5);
  std::printf("key maintenance: %lld operations\n", static_cast<long long>(ops));
  for (FaultMode mode : {FaultMode::kFail, FaultMode::kShort}) {
    for (int64_t n = 1; n <= ops; ++n) {
      snapshot.Restore();
      const RunOutcome o = RunWithFault(n, mode, maintain);
      const std::string what = Describe(n, mode, o);
      std::string problem;
      const std::vector<std::string> after = RawRecords("km.dbf", &problem);
      ASSERT_EQ(problem, "") << what;
      // Records nobody touched are as they were; in a touched one each field is old or
      // new (a put that failed was reported, and the program went on with the next).
      ASSERT_GE(after.size(), before.size()) << what;
      for (size_t i = 0; i < before.size(); ++i) {
        for (auto [from, len] : {std::pair<size_t, size_t>{0, 1}, {1, 5}, {6, 8}, {14, 8}}) {
          const std::string now = after[i].substr(from, len);
          if (now != before[i].substr(from, len)) {
            EXPECT_EQ(now, after_clean[i].substr(from, len)) << what << ", record " << i + 1;
          }
        }
      }
      bool clean = false;
      const std::string report = CheckIndexes("km.dbf", {"code", "name"}, &clean);
      if (o.errors == 0) {
        // A refused lock is no error (RLOCK answers false) and leaves its record alone;
        // anything else that fails must have been reported.
        if (o.kind != test::OpKind::kLock) {
          EXPECT_EQ(after, after_clean) << what;
        }
        EXPECT_TRUE(clean) << what << "\n" << report;
      }
    }
  }
}

// The engine's migration of one table to a new structure: a temporary table with the
// new fields, the records appended from the old one, then the files renamed: the old
// ones aside, the new ones into place, the old ones removed. A failure before the
// renames removes the temporary table; a failed rename puts back what was renamed.
bool MigrateTable() {
  const size_t errors = RecordedErrors().size();
  auto field = [](const char* name, const char* type, int len, int dec) {
    return Value::Array(
        {Value::String(name), Value::String(type), Value::Integer(len), Value::Integer(dec)});
  };
  const Value structure =
      Value::Array({field("CODE", "C", 6, 0), field("NAME", "C", 8, 0), field("AMT", "N", 10, 2),
                    field("NOTE", "M", 10, 0), field("ADDED", "L", 1, 0)});
  auto discard = [] {
    DBCLOSEALL();
    FERASE("mgtmp.dbf");
    FERASE("mgtmp.dbt");
    return false;
  };
  if (!DBCREATE("mgtmp.dbf", structure, "", true, "MGTMP", "") ||
      RecordedErrors().size() != errors) {
    return discard();
  }
  const uint32_t appended = DBAPP(Value::String("mg.dbf"));
  DBCOMMIT();
  const uint32_t count = RECCOUNT();
  DBCLOSEAREA();
  if (RecordedErrors().size() != errors || appended != count) return discard();
  // The renames: each undone in reverse order when a later one fails.
  const std::vector<std::pair<std::string, std::string>> steps = {{"mg.dbf", "mgold.dbf"},
                                                                  {"mg.dbt", "mgold.dbt"},
                                                                  {"mgtmp.dbf", "mg.dbf"},
                                                                  {"mgtmp.dbt", "mg.dbt"}};
  for (size_t i = 0; i < steps.size(); ++i) {
    if (FRENAME(steps[i].first, steps[i].second) == 0) continue;
    while (i-- > 0) FRENAME(steps[i].second, steps[i].first);
    return discard();
  }
  FERASE("mgold.dbf");
  FERASE("mgold.dbt");
  return true;
}

TEST_F(FaultInjectionTest, MigrationOfOneTable) {
  MakeTable("mg.dbf", 60, true);
  auto contents = [](std::string* problem) {
    // Every record's CODE, NAME, AMT (as text), memo and deletion flag.
    std::vector<std::string> out;
    const size_t errors = RecordedErrors().size();
    if (!DBUSEAREA(true, "", "mg.dbf", "CHECK", false, true)) {
      *problem = "the table does not open";
      return out;
    }
    const uint32_t count = RECCOUNT();
    for (uint32_t r = 1; r <= count; ++r) {
      DBGOTO(r);
      out.push_back(FIELDGET(1).str() + "|" + FIELDGET(2).str() + "|" +
                    std::to_string(FIELDGET(3).number()) + "|" + FIELDGET(FIELDPOS("NOTE")).str() +
                    (DELETED() ? "|*" : "|"));
    }
    const bool migrated = FIELDPOS("ADDED") != 0;
    DBCLOSEAREA();
    if (RecordedErrors().size() != errors) *problem = "reading the table raised an error";
    if (migrated) out.push_back("migrated");
    return out;
  };
  std::string problem;
  std::vector<std::string> before = contents(&problem);
  ASSERT_EQ(problem, "");
  const Snapshot snapshot(dir_, {"mg.dbf", "mg.dbt"});
  bool migrated = false;
  const int64_t ops = CountOps([&] { migrated = MigrateTable(); });
  ASSERT_TRUE(migrated);
  std::vector<std::string> expected_new = contents(&problem);
  ASSERT_EQ(problem, "");
  ASSERT_EQ(expected_new.back(), "migrated");
  expected_new.pop_back();
  // Widening CODE keeps its text and adds a blank.
  for (std::string& b : before) b.insert(5, " ");
  ASSERT_EQ(expected_new, before);
  std::printf("migration: %lld operations\n", static_cast<long long>(ops));
  for (FaultMode mode : {FaultMode::kFail, FaultMode::kShort}) {
    for (int64_t n = 1; n <= ops; ++n) {
      snapshot.Restore();
      FERASE("mgold.dbf");
      FERASE("mgold.dbt");
      bool done = false;
      const RunOutcome o = RunWithFault(n, mode, [&] { done = MigrateTable(); });
      const std::string what = Describe(n, mode, o);
      std::vector<std::string> now = contents(&problem);
      ASSERT_EQ(problem, "") << what;
      const bool is_new = !now.empty() && now.back() == "migrated";
      if (is_new) now.pop_back();
      for (std::string& line : now) {
        if (!is_new) line.insert(5, " ");
      }
      EXPECT_EQ(now, before) << what << (is_new ? " (new table)" : " (old table)");
      if (o.errors > 0) {
        EXPECT_FALSE(done) << what << ": an error was raised, yet the migration went on";
      }
    }
  }
}

}  // namespace
}  // namespace px
