// Soak: workstations sharing an installation's table as the application does. Several
// processes open CUSTOMER through OPNALIAS (shared, with its two indexes) and, for a
// bounded time, append records, change indexed fields under RLOCK, delete records and
// seek; meanwhile another process runs INIT_IDX again and again, which must fail
// cleanly (NETERR) while the table is in use. Afterwards no record is lost, every
// record holds what its last writer put there, both indexes check clean against the
// table, and no process crashed or hung.
//
// Each workstation owns the records it appended and every n-th record of the starting
// table, and changes and deletes only those, so that it knows what each must hold in
// the end. PX_SOAK_SECONDS sets the time (default 20) and PX_SOAK_OPS the operations
// per workstation (default and most 30000 and 39000), whichever ends first.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/data/catalogue.h"
#include "app/data/index_rebuild.h"
#include "engine/ntx/ntx_area.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "runtime/error.h"
#include "runtime/settings.h"
#include "tests/app/data/catalogue_builder.h"
#include "tests/engine/table_util.h"
#include "tests/forked_process.h"
#include "tests/test_util.h"
#include "tests/ui/console_fixture.h"

namespace px {
namespace {

constexpr int kWorkstations = 3;
constexpr int kStartRecords = 60;

int EnvNumber(const char* name, int fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  const int n = std::atoi(text);
  return n > 0 ? n : fallback;
}

struct Expected {
  std::string name;
  int64_t code = 0;
  bool deleted = false;
};

std::string Trimmed(const Value& v) {
  std::string s = v.str();
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// One workstation's session. Returns 0 when everything it checked held; writes what its
// records must hold to result_file.
int Workstation(int n, int seconds, int max_ops, const std::string& result_file,
                test::Channel& channel) {
  if (!OPNALIAS("customer", false)) return 10;
  if (DBORDERINFO(9).integer() != 2) return 11;
  channel.Send('r');
  // Start together, once every workstation has the table open.
  if (channel.Receive() != 'g') return 12;

  std::map<uint32_t, Expected> own;
  for (uint32_t r = 1; r <= kStartRecords; ++r) {
    if (static_cast<int>(r - 1) % kWorkstations != n) continue;
    DBGOTO(r);
    own[r] = {Trimmed(FIELDGET(1)), FIELDGET(2).integer(), DELETED()};
  }
  std::mt19937 random(static_cast<unsigned>(1234 + n));
  int counter = 0;
  int seek_failures = 0, lock_refusals = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  auto pick = [&]() -> uint32_t {
    auto it = own.begin();
    std::advance(it, static_cast<long>(random() % own.size()));
    return it->first;
  };
  for (int op = 0; op < max_ops && std::chrono::steady_clock::now() < deadline; ++op) {
    const unsigned kind = random() % 20;
    if (kind < 6) {
      // Append: the new record is locked until the unlock.
      if (!DBAPPEND()) return 20;
      ++counter;
      const std::string name = "P" + std::to_string(n) + "A" + std::to_string(counter);
      const int64_t code = n * 30000 + counter;
      FIELDPUT(1, Value::String(name));
      FIELDPUT(2, Value::Integer(code));
      own[RECNO()] = {name, code, false};
      DBUNLOCK();
    } else if (kind < 13) {
      // Change both indexed fields of one of its records.
      const uint32_t r = pick();
      DBGOTO(r);
      if (!RLOCK()) {
        ++lock_refusals;
        continue;
      }
      ++counter;
      const std::string name = "P" + std::to_string(n) + "C" + std::to_string(counter);
      const int64_t code = n * 30000 + counter;
      FIELDPUT(1, Value::String(name));
      FIELDPUT(2, Value::Integer(code));
      own[r].name = name;
      own[r].code = code;
      DBUNLOCK();
    } else if (kind < 15) {
      const uint32_t r = pick();
      DBGOTO(r);
      if (!RLOCK()) {
        ++lock_refusals;
        continue;
      }
      DBDELETE();
      own[r].deleted = true;
      DBUNLOCK();
    } else {
      // Seek one of its names: found, on a record holding it.
      const uint32_t r = pick();
      const std::string name = own[r].name;
      if (!DBSEEK(Value::String(name)) || Trimmed(FIELDGET(1)) != name) ++seek_failures;
    }
  }
  // Keep the table open until the maintenance station has stopped trying.
  channel.Send('d');
  if (channel.Receive() != 'c') return 13;
  DBCLOSEALL();
  std::ofstream out(result_file);
  for (const auto& [recno, e] : own) {
    out << recno << ' ' << e.name << ' ' << e.code << ' ' << e.deleted << '\n';
  }
  out.close();
  if (!RecordedErrors().empty()) {
    std::fprintf(stderr, "workstation %d: %s\n", n, ERRORMESSAGE(RecordedErrors()[0]).c_str());
    return 30;
  }
  if (seek_failures > 0) {
    std::fprintf(stderr, "workstation %d: %d seeks failed\n", n, seek_failures);
    return 31;
  }
  return 0;
}

// The maintenance station: INIT_IDX while the table is in use must change nothing and
// leave NETERR set. Pauses are instant, so each attempt's retries take no time.
int Maintenance(test::Channel& channel) {
  FakeClockEnv clock(GetEnv());
  ScopedEnv scoped(&clock);
  GetSettings().exclusive = true;
  int attempts = 0, failed_cleanly = 0;
  while (!channel.Closed() && attempts < 100000) {
    NETERR(false);
    INIT_IDX(false, false, nullptr, nullptr, nullptr);
    ++attempts;
    if (NETERR()) ++failed_cleanly;
    if (!OpenAreas().empty()) return 40;
  }
  std::printf("maintenance: INIT_IDX refused %d times\n", failed_cleanly);
  std::fflush(stdout);
  if (attempts == 0) return 42;
  if (failed_cleanly != attempts) {
    std::fprintf(stderr, "maintenance: %d of %d attempts did not fail\n", attempts - failed_cleanly,
                 attempts);
    return 41;
  }
  return 0;
}

class SoakTest : public test::ConsoleUiTest {
 protected:
  test::ScratchDir dir_;
};

TEST_F(SoakTest, WorkstationsShareTheTablesWhileMaintenanceIsRefused) {
#ifdef _WIN32
  GTEST_SKIP() << "talks to the workstations before it starts the maintenance process, "
                  "which a Windows child, a replay of the test, cannot reach";
#endif
  const int seconds = EnvNumber("PX_SOAK_SECONDS", 20);
  // Codes are station * 30000 + a counter below 40000, within the field's 5 digits.
  const int max_ops = std::min(EnvNumber("PX_SOAK_OPS", 30000), 39000);
  test::WriteCatalogue(
      {{.alias = "CUSTOMER", .name = "customer", .index = "custname", .key = "NAME"},
       {.alias = "CUSTOMER", .name = "customer", .index = "custcode", .key = "CODE"}});
  std::vector<std::string> names;
  for (int i = 1; i <= kStartRecords; ++i) names.push_back("START" + std::to_string(i));
  test::WriteTable("customer", names);
  test::BuildIndexDirectly("customer", "custname", "NAME");
  test::BuildIndexDirectly("customer", "custcode", "CODE");

  std::vector<std::unique_ptr<test::ForkedProcess>> stations;
  for (int n = 0; n < kWorkstations; ++n) {
    const std::string result = dir_.File("station" + std::to_string(n) + ".txt");
    stations.push_back(std::make_unique<test::ForkedProcess>(
        [=](test::Channel& channel) { return Workstation(n, seconds, max_ops, result, channel); }));
    ASSERT_TRUE(stations.back()->started());
  }
  for (auto& s : stations) ASSERT_EQ(s->channel().Receive(), 'r');
  test::ForkedProcess maintenance([](test::Channel& channel) { return Maintenance(channel); });
  for (auto& s : stations) s->channel().Send('g');

  // Once every workstation is done (tables still open), maintenance stops; then the
  // workstations close their tables and end.
  const int limit_ms = (seconds + 120) * 1000;
  for (auto& s : stations) EXPECT_EQ(s->channel().Receive(limit_ms), 'd');
  maintenance.CloseInput();
  EXPECT_EQ(maintenance.Join(limit_ms), 0) << "maintenance";
  for (auto& s : stations) s->channel().Send('c');
  for (int n = 0; n < kWorkstations; ++n) {
    EXPECT_EQ(stations[static_cast<size_t>(n)]->Join(limit_ms), 0) << "workstation " << n;
  }

  // Every record holds what its owner last put there.
  std::map<uint32_t, Expected> expected;
  for (int n = 0; n < kWorkstations; ++n) {
    std::ifstream in(dir_.File("station" + std::to_string(n) + ".txt"));
    uint32_t recno = 0;
    Expected e;
    while (in >> recno >> e.name >> e.code >> e.deleted) expected[recno] = e;
  }
  ASSERT_TRUE(test::UseTable("customer"));
  ORDLISTADD("custname");
  ORDLISTADD("custcode");
  EXPECT_EQ(RECCOUNT(), expected.size()) << "records appended or lost";
  ASSERT_EQ(expected.rbegin()->first, RECCOUNT());
  for (const auto& [recno, e] : expected) {
    DBGOTO(recno);
    EXPECT_EQ(Trimmed(FIELDGET(1)), e.name) << "record " << recno;
    EXPECT_EQ(FIELDGET(2).integer(), e.code) << "record " << recno;
    EXPECT_EQ(DELETED(), e.deleted) << "record " << recno;
  }
  auto* area = dynamic_cast<NtxArea*>(CurrentArea());
  ASSERT_NE(area, nullptr);
  for (int o = 1; o <= 2; ++o) {
    const ntx::VerifyReport report = area->CheckOrder(*area->order(o));
    EXPECT_TRUE(report.ok()) << "order " << o << ": " << report.problems.front();
  }
  std::printf("soak: %d workstations, %zu records at the end, %d s / %d ops each\n", kWorkstations,
              expected.size(), seconds, max_ops);
  EXPECT_TRUE(RecordedErrors().empty());
}

}  // namespace
}  // namespace px
