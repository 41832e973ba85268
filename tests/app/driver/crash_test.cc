// The update killed (SIGKILL) at points spread over every phase, from the backup to the
// clean-up of the temp folder, on a generated installation and an update like the main
// job's: after each kill the tables hold what the application may see, and running the
// update again ends where one clean run ends.
//
// A clean run notes every change the update makes to a file or folder (writes,
// truncations, creations, deletions, renames, new folders), the phase it belongs to and
// the text last shown, and copies the tables as each stretch of changes of one phase
// begins. Each killed run works on a fresh copy of the installation in a child process
// that kills itself just before the chosen change. Then:
//  - what the application sees before anyone starts the installer again: every table as
//    it was when the phase of the kill began or as it was when it ended, or, where the
//    phase changes records one by one (the repairs, under record locks) or only takes
//    deleted records out (a pack), each record as it was, as it became, or gone when
//    the phase removes it: never a record twice, never a lost one;
//  - the update started again (MAIN, as a user starts it) completes without an alert
//    and leaves every table's records byte for byte as the clean run did, every index
//    of the catalogue checking clean, the same program files and bitmaps, and the same
//    file names.
// The backup folder is left out of every comparison: each run draws its own backup
// number (sysinfo's BACKUP) and writes its own archive, and a killed run may leave
// none. PX_CRASH_POINTS (40 by default) kill points are shared out over the phases by
// their numbers of changes; every phase gets at least two, and a dense one all of its
// changes; a number above the count of changes tries every change.
// PX_CRASH_AT=N,M,... tries only the changes numbered so (as the trace names them).
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "app/driver/main.h"
#include "app/driver/rename_journal.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"
#include "runtime/error.h"
#include "tests/app/driver/driver_fixture.h"
#include "tests/change_watching_env.h"
#include "tools/pxdb/catalogue_check.h"
#include "tools/pxdb/sample_installation.h"

namespace px {
namespace {

#ifndef _WIN32

namespace fs = std::filesystem;
using test::FieldSpec;
using test::Row;
using test::TableData;

// The phases of an update, in the order a clean run passes them. A change belongs to
// the phase of the innermost step of the installer's call stack named here (UPDATE1's
// own phases by their number); a phase that names a text takes the changes of its step
// made while that text is the last one shown, one that names a kind of change only
// those. Every change of a dense phase is a kill point: the renames that put migrated
// tables in place follow one another, and CLEANUP's walk over cqass and the pack after
// it are a few changes apart, with nothing outside to tell them apart.
struct Phase {
  const char* name;
  const char* step;
  int first = 0;  // UPDATE1's phase numbers; 0: any
  int last = 0;
  const char* shown = "";
  const char* kind = "";
  bool dense = false;
};
constexpr Phase kPhases[] = {
    {"backup", "BACKZIP"},
    {"staging and unpacking", "UPDATE1", 7, 8},
    {"bitmaps", "UPDATE1", 9, 9},
    {"saving the old catalogue", "UPDATE1", 10, 11},
    {"migration", "MIGRATE"},
    {"migration: tables put in place", "MIGRATE", 0, 0, "", "rename", true},
    {"catalogue reset", "RESETPATHS"},
    {"index rebuild: the catalogue's own index", "REBUILD", 0, 0, "Indexing INDEXDEF"},
    {"index rebuild", "REBUILD"},
    {"CHKBLANK", "CHKBLANK"},
    {"CLEANUP: cqass rows and its pack", "CLEANUP", 0, 0, "", "", true},
    {"QUOSER: serial numbers committed with the packed cqass", "QUOSER", 0, 0, "", "", true},
    {"CLEANUP: special colours", "CLEANUP", 0, 0, "Special Colours"},
    {"SETUP", "SETUP"},
    {"program files", "UPDATE1", 16, 16},
    {"libraries", "UPDATE1", 17, 17},
    {"temp clean-up", "UPDATE1", 18, 18},
};
constexpr int kPhaseCount = static_cast<int>(std::size(kPhases));

int PhaseOf(const std::vector<CallFrame>& stack, const std::string& shown,
            const std::string& what) {
  for (const CallFrame& frame : stack) {
    int found = -1;
    for (int i = 0; i < kPhaseCount; ++i) {
      const Phase& p = kPhases[i];
      const bool narrow = *p.shown != '\0' || *p.kind != '\0';
      if (frame.name == p.step &&
          (p.first == 0 || (frame.line >= p.first && frame.line <= p.last)) &&
          shown.find(p.shown) != std::string::npos && what.starts_with(p.kind) &&
          (found < 0 || narrow)) {
        found = i;
      }
    }
    if (found >= 0) return found;
  }
  return -1;
}

std::string PhaseName(int phase) {
  return phase < 0 ? "outside the phases" : kPhases[phase].name;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() &&
         std::equal(end.rbegin(), end.rend(), text.rbegin(),
                    [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

// One change the update made to a file or folder.
struct Change {
  int phase = -1;     // into kPhases; -1 outside them
  std::string what;   // "write cqass.dbf", "rename zztemp.dbf to customer.dbf", ...
  std::string shown;  // the last line the installer wrote
};

// Notes every change made to a file or folder with its phase, and kills the process
// (SIGKILL) just before the change numbered kill_at (from 1), once last_words has been
// told which change it is.
class CrashEnv : public test::ChangeWatchingEnv {
 public:
  CrashEnv(Env* target, std::string root, const std::ostringstream* console, int64_t kill_at)
      : ChangeWatchingEnv(target, /*sync_to_disk=*/false),
        root_(std::move(root) + "/"),
        console_(console),
        kill_at_(kill_at) {}

  // Called before the first change of each stretch of changes of one phase.
  std::function<void(int64_t)> on_stretch;
  std::function<void(const Change&)> last_words;
  const std::vector<Change>& changes() const { return changes_; }

  // A replacement is a rename to the tests: both put a file in place of another.
  void OnChange(std::string_view name, const char* verb, std::string_view to) override {
    Note(name, std::string_view(verb) == "replace" ? "rename" : verb, to);
  }

 private:
  // The name relative to the installation folder.
  std::string Relative(std::string_view name) {
    std::string path = target()->HostPath(name);
    if (!path.starts_with("/")) path = target()->CurrentDir() + "/" + path;
    return path.starts_with(root_) ? path.substr(root_.size()) : path;
  }

  void Note(std::string_view name, const char* verb, std::string_view to = {}) {
    // The installer's log changes in every phase and holds no table: it is left out.
    if (Relative(name) == "update.log") return;
    Change change;
    const std::string console = console_->str();
    const size_t end = console.find_last_not_of('\n');
    if (end != std::string::npos) {
      const size_t begin = console.rfind('\n', end);
      const size_t from = begin == std::string::npos ? 0 : begin + 1;
      change.shown = console.substr(from, end + 1 - from);
    }
    change.what =
        std::string(verb) + " " + Relative(name) + (to.empty() ? "" : " to " + Relative(to));
    change.phase = PhaseOf(CallStack(), change.shown, change.what);
    if ((changes_.empty() || changes_.back().phase != change.phase) && on_stretch) {
      on_stretch(static_cast<int64_t>(changes_.size()) + 1);
    }
    changes_.push_back(change);
    if (static_cast<int64_t>(changes_.size()) == kill_at_) {
      if (last_words) last_words(change);
      raise(SIGKILL);
    }
  }

  std::string root_;
  const std::ostringstream* console_;
  int64_t kill_at_;
  std::vector<Change> changes_;
};

// The tables under a folder by their names relative to it, without extension: every
// .dbf outside backup/ and temp/, but for the installer's own working files (zz...,
// and oldexdef, the catalogue it saved; a repeated update saves the catalogue again).
std::vector<std::string> TableNames(const std::string& root) {
  std::vector<std::string> names;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string rel = fs::relative(it->path(), root).generic_string();
    if (it->is_directory() && (rel == "backup" || rel == "temp")) {
      it.disable_recursion_pending();
      continue;
    }
    const std::string file = it->path().filename().string();
    const bool working =
        EndsWith(file, "oldexdef.dbf") ||
        (file.size() > 1 && std::tolower(file[0]) == 'z' && std::tolower(file[1]) == 'z');
    if (it->is_regular_file() && EndsWith(file, ".dbf") && !working) {
      names.push_back(rel.substr(0, rel.size() - 4));
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

void CopyTables(const std::string& root, const std::string& to) {
  for (const std::string& name : TableNames(root)) {
    fs::create_directories(fs::path(to + "/" + name).parent_path());
    for (const char* ext : {".dbf", ".dbt"}) {
      if (fs::exists(root + "/" + name + ext))
        fs::copy_file(root + "/" + name + ext, to + "/" + name + ext);
    }
  }
}

// A table as the test reads it through the engine; sysinfo without BACKUP, which each
// run moves on by itself.
std::optional<TableData> LoadTable(const std::string& root, const std::string& name) {
  if (!fs::exists(root + "/" + name + ".dbf")) return std::nullopt;
  TableData t = test::ReadTable(root + "/" + name);
  if (name == "sysinfo") {
    for (Row& r : t.rows) r.erase("BACKUP");
  }
  return t;
}

bool SameStructure(const TableData& a, const TableData& b) {
  if (a.fields.size() != b.fields.size()) return false;
  for (size_t i = 0; i < a.fields.size(); ++i) {
    if (a.fields[i].name != b.fields[i].name || a.fields[i].type != b.fields[i].type ||
        a.fields[i].len != b.fields[i].len || a.fields[i].dec != b.fields[i].dec) {
      return false;
    }
  }
  return true;
}

bool Same(const TableData& a, const TableData& b) {
  return SameStructure(a, b) && a.Live() == b.Live();
}

// The same record before and after a phase that changes a field or two of it.
bool SameRecord(const Row& a, const Row& b) {
  int differ = 0;
  for (const auto& [field, value] : a) differ += b.count(field) == 0 || b.at(field) != value;
  return differ <= 2;
}

// Pairs each live record of `a` with its live record in `b` (-1: b no longer shows
// it) when b's records are a's, some changed, some deleted, or (a pack) some taken
// out. False when b shows records that are not a's: the table was replaced as a whole.
// A pack moves records: they are paired in order, a changed record with its new self.
bool PairRecords(const TableData& a, const TableData& b, std::vector<int>* pair) {
  pair->clear();
  if (!SameStructure(a, b)) return false;
  int next = 0;
  if (a.rows.size() == b.rows.size()) {
    for (size_t i = 0; i < a.rows.size(); ++i) {
      if (a.deleted[i]) {
        if (!b.deleted[i]) return false;
        continue;
      }
      pair->push_back(b.deleted[i] ? -1 : next);
      if (!b.deleted[i]) ++next;
    }
    return true;
  }
  const std::vector<Row> b_live = b.Live();
  for (const Row& r : a.Live()) {
    const bool kept = next < static_cast<int>(b_live.size()) && SameRecord(r, b_live[next]);
    pair->push_back(kept ? next++ : -1);
  }
  return next == static_cast<int>(b_live.size());
}

// Where `now` first differs from `want`, in a few words.
std::string FirstDifference(const TableData& now, const TableData& want) {
  if (!SameStructure(now, want)) {
    return std::to_string(now.fields.size()) + " fields instead of " +
           std::to_string(want.fields.size()) + " (another structure)";
  }
  const std::vector<Row> a = now.Live(), b = want.Live();
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    for (const auto& [field, value] : b[i]) {
      if (a[i].at(field) != value) {
        return "live record " + std::to_string(i + 1) + " has " + field + " " +
               DebugString(a[i].at(field)) + " instead of " + DebugString(value);
      }
    }
  }
  return std::to_string(a.size()) + " live records instead of " + std::to_string(b.size());
}

// Empty when a kill between the states `before` and `after` of a phase may leave the
// table as `now` is (a missing table did not exist); else what is wrong.
std::string Judge(const std::optional<TableData>& now, const std::optional<TableData>& before,
                  const std::optional<TableData>& after) {
  if (!now) return before ? "the table is gone" : "";
  if ((before && Same(*now, *before)) || (after && Same(*now, *after))) return "";
  std::vector<int> pair;
  if (before && after && SameStructure(*now, *before) && PairRecords(*before, *after, &pair)) {
    const std::vector<Row> was = before->Live(), became = after->Live(), is = now->Live();
    size_t k = 0;
    bool whole = true;
    for (size_t i = 0; i < was.size() && whole; ++i) {
      if (k < is.size() && (is[k] == was[i] || (pair[i] >= 0 && is[k] == became[pair[i]]))) {
        ++k;
      } else if (pair[i] >= 0) {
        whole = false;  // a record the phase keeps is lost or damaged
      }
    }
    if (whole && k == is.size()) return "";
  }
  std::string why =
      "neither as before the phase nor as after it, nor between them record by record";
  if (after) why += "; against after: " + FirstDifference(*now, *after);
  if (before) why += "; against before: " + FirstDifference(*now, *before);
  return why;
}

// A table byte for byte: its header but the date of last update, then each record,
// deleted ones included, its memo fields by their text. sysinfo's BACKUP is left out:
// each run draws its own backup number.
std::vector<std::string> TableBytes(const std::string& root, const std::string& name) {
  const std::string bytes = test::ReadFileBytes(root + "/" + name + ".dbf");
  auto number = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  if (bytes.size() < 32) return {"a header cut short"};
  const uint32_t header = number(8, 2), length = number(10, 2);
  if (header > bytes.size() || header < 33 || length == 0) return {"a damaged header"};
  const size_t count = (bytes.size() - header) / length;
  std::vector<std::string> out = {bytes.substr(0, 1) + bytes.substr(4, header - 4)};
  struct Field {
    std::string name;
    char type;
    uint32_t offset, len;
  };
  std::vector<Field> fields;
  uint32_t offset = 1;
  for (size_t at = 32; at + 32 <= header && bytes[at] != '\r'; at += 32) {
    const uint32_t len = static_cast<unsigned char>(bytes[at + 16]);
    fields.push_back({std::string(bytes.data() + at, strnlen(bytes.data() + at, 11)),
                      bytes[at + 11], offset, len});
    offset += len;
  }
  if (offset != length) return {"field descriptors that do not make up the record length"};
  std::optional<TableData> memos;
  for (const Field& f : fields) {
    if (f.type == 'M' && !memos) memos = test::ReadTable(root + "/" + name);
  }
  for (size_t i = 0; i < count; ++i) {
    const size_t at = header + i * length;
    std::string record = bytes.substr(at, 1);
    for (const Field& f : fields) {
      if (name == "sysinfo" && f.name == "BACKUP") {
        record += std::string(f.len, '#');
      } else if (f.type == 'M' && i < memos->rows.size()) {
        record += "{" + memos->rows[i].at(f.name).str() + "}";
      } else {
        record += bytes.substr(at + f.offset, f.len);
      }
    }
    out.push_back(record);
  }
  return out;
}

// What an update leaves: every table byte for byte, the bytes of the program files
// and bitmaps, and the names of every file and folder but the backups.
struct Outcome {
  std::map<std::string, std::vector<std::string>> tables;
  std::map<std::string, std::string> programs;
  std::set<std::string> names;
};

Outcome OutcomeOf(const std::string& root) {
  Outcome o;
  for (const std::string& name : TableNames(root)) o.tables[name] = TableBytes(root, name);
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string rel = fs::relative(it->path(), root).generic_string();
    if (rel == "backup") {
      it.disable_recursion_pending();
      continue;
    }
    o.names.insert(rel);
    if (EndsWith(rel, ".exe") || EndsWith(rel, ".dll") || EndsWith(rel, ".bmp")) {
      o.programs[rel] = test::ReadFileBytes(it->path());
    }
  }
  return o;
}

// The stretch of two records around their first difference.
std::string Around(const std::string& got, const std::string& want) {
  size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  const size_t from = at > 30 ? at - 30 : 0;
  return "from byte " + std::to_string(from) + ":\n  \"" + got.substr(from, 70) +
         "\"\nafter the clean run:\n  \"" + want.substr(from, 70) + "\"";
}

void ExpectSameOutcome(const Outcome& now, const Outcome& clean) {
  std::string extra, missing;
  for (const std::string& n : now.names) {
    if (clean.names.count(n) == 0) extra += " " + n;
  }
  for (const std::string& n : clean.names) {
    if (now.names.count(n) == 0) missing += " " + n;
  }
  EXPECT_TRUE(extra.empty()) << "files the clean run does not leave:" << extra;
  EXPECT_TRUE(missing.empty()) << "files missing:" << missing;
  for (const auto& [name, bytes] : clean.programs) {
    EXPECT_TRUE(now.programs.count(name) != 0 && now.programs.at(name) == bytes)
        << name << " differs from the clean run's";
  }
  for (const auto& [name, records] : clean.tables) {
    if (now.tables.count(name) == 0) continue;  // reported as a missing file
    const std::vector<std::string>& got = now.tables.at(name);
    if (got == records) continue;
    size_t i = 0;
    while (i < got.size() && i < records.size() && got[i] == records[i]) ++i;
    if (i == 0) {
      ADD_FAILURE() << name << ": another header or structure than the clean run's";
    } else if (i == got.size() || i == records.size()) {
      ADD_FAILURE() << name << ": " << got.size() - 1 << " records, the clean run "
                    << records.size() - 1;
    } else {
      ADD_FAILURE() << name << ": live record " << i << " of " << got.size() - 1
                    << " (the clean run " << records.size() - 1 << ") differs "
                    << Around(got[i], records[i]);
    }
  }
}

std::vector<FieldSpec> SampleFields(const std::string& alias) {
  std::vector<FieldSpec> fields;
  for (const pxdb::SampleTable& t : pxdb::SampleTables()) {
    if (t.alias != alias) continue;
    for (const FieldDef& f : t.fields) {
      fields.push_back({f.name, f.type, static_cast<int>(f.len), static_cast<int>(f.dec)});
    }
  }
  return fields;
}

// Kill points: every change of a dense phase; every other phase at least two (all its
// changes when it has fewer), and the rest shared out by the number of changes, spread
// evenly over the phase's changes, its first and last included.
std::vector<int64_t> ChooseKillPoints(const std::vector<Change>& changes, int wanted) {
  std::map<int, std::vector<int64_t>> by_phase;
  for (size_t i = 0; i < changes.size(); ++i) by_phase[changes[i].phase].push_back(i + 1);
  std::vector<int64_t> points;
  const size_t total = changes.size();
  for (const auto& [phase, numbers] : by_phase) {
    const size_t n = numbers.size();
    const bool dense = phase >= 0 && kPhases[phase].dense;
    const size_t k = dense ? n : std::min(n, std::max<size_t>(2, wanted * n / total));
    for (size_t i = 0; i < k; ++i) points.push_back(numbers[k == 1 ? 0 : (n - 1) * i / (k - 1)]);
  }
  std::sort(points.begin(), points.end());
  points.erase(std::unique(points.begin(), points.end()), points.end());
  return points;
}

class CrashTest : public test::DriverTest {
 protected:
  // A sample installation of scale 0 whose suppliers the site keeps in a folder of its
  // own and which has deleted a customer, and an update like the main job's: customer rebuilt with
  // NAME widened, FAX dropped, a number and a memo added; glastype replaced with the records it
  // brings; a new table promo; a new catalogue that knows promo; a bitmap, a program file and
  // libraries.
  CrashTest() {
    ApplyInstallerSettings();
    pxdb::SampleResult result;
    std::string error;
    EXPECT_TRUE(pxdb::MakeSampleInstallation(Inst(), 0, &result, &error)) << error;
    test::WriteFileBytes(Inst("PX"), "#!/bin/sh\nexit 0\n");
    fs::permissions(Inst("PX"), fs::perms::owner_all);
    fs::create_directories(Inst("DATA"));
    for (const char* f : {"supplier.dbf", "supplier.ntx", "supname.ntx"}) {
      fs::rename(Inst(f), Inst(std::string("DATA/") + f));
    }
    DBSELECTAREA(0);
    EXPECT_TRUE(DBUSEAREA(false, "", Inst("indexdef"), "indexdef", false, false));
    for (DBGOTOP(); !EOF_(); DBSKIP(1)) {
      if (test::Text(FIELDGET(FIELDPOS("DB_ALIAS"))) == "SUPPLIER") {
        FIELDPUT(FIELDPOS("PATH"), Value::String("DATA\\"));
      }
    }
    DBCLOSEAREA();
    // A customer with notes was deleted in the application: the migration leaves it
    // behind, so the notes of the next customer move in the new memo file.
    EXPECT_TRUE(DBUSEAREA(false, "", Inst("customer"), "customer", false, false));
    for (DBGOTOP(); !EOF_() && test::Text(FIELDGET(FIELDPOS("NOTES"))).empty();) DBSKIP(1);
    EXPECT_FALSE(EOF_());
    DBDELETE();
    DBSKIP(1);
    FIELDPUT(FIELDPOS("NOTES"), Value::String("Gate code 4417. Ring the office before delivery."));
    DBCLOSEAREA();

    const TableData catalogue = test::ReadTable(Inst("indexdef"));
    std::vector<Row> shipped;
    for (Row r : catalogue.Live()) {
      r["PATH"] = Value::String("");
      shipped.push_back(r);
    }
    shipped.push_back({{"DB_ALIAS", Value::String("PROMO")},
                       {"DB_NAME", Value::String("promo")},
                       {"IN_NAME", Value::String("promocod")},
                       {"IN_STR", Value::String("CODE")}});
    std::vector<FieldSpec> customer;
    for (FieldSpec f : SampleFields("customer")) {
      if (f.name == "NAME") f.len = 50;
      if (f.name != "FAX") customer.push_back(f);
    }
    customer.push_back({"BALANCE", 'N', 12, 2});
    customer.push_back({"HISTORY", 'M', 10});
    auto glass = [](const char* code, const char* desc) {
      return Row{{"CODE", Value::String(code)}, {"DESC", Value::String(desc)}};
    };
    // Files of a few copy pieces each, so that each install phase writes more than once.
    std::string program(20000, '\0');
    for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<char>(i * 7 % 251);
    MakeUpdate(
        {{.name = "customer", .fields = customer},
         {.name = "glastype",
          .bring_recs = true,
          .fields = SampleFields("glastype"),
          .rows = {glass("4CL", "4mm clear float"), glass("6LAM", "6.38mm laminated"),
                   glass("10TGH", "10mm toughened")}},
         {.name = "promo",
          .fields = {{"CODE", 'C', 6}, {"DESC", 'C', 30}, {"DISCOUNT", 'N', 5, 2}},
          .rows = {{{"CODE", Value::String("SPRING")}}, {{"CODE", Value::String("WINTER")}}}},
         {.name = "indexdef", .bring_recs = true, .fields = catalogue.fields, .rows = shipped}},
        {{"frame.bmp", program + "bmp"},
         {"pxhelp.exe", program + "exe"},
         {"pxprint.dll", program + "dll"},
         {"KVRZIPDLL.DLL", "the installer's own zip library"}});
    fs::copy(Inst(), Pristine(), fs::copy_options::recursive);
  }

  std::string Pristine() const { return scratch_.path() + "/pristine"; }
  std::string Saved(const std::string& when) const { return scratch_.path() + "/at-" + when; }
  std::string LastWords() const { return scratch_.path() + "/last-words"; }

  void RestorePristine() {
    if (chdir(scratch_.path().c_str()) != 0) FAIL();
    fs::remove_all(Inst());
    fs::copy(Pristine(), Inst(), fs::copy_options::recursive);
    if (chdir(Inst().c_str()) != 0) FAIL();
  }

  // Runs the whole update in this process under `env`, with the real backup (whose zip
  // program's report goes to /dev/null); the lines it showed.
  std::vector<std::string> RunUpdate(CrashEnv& env) {
    ScopedEnv scope(&env);
    runner_.batch_answer.reset();
    backend_.Script(test::Answer({"D:\\"}, "OK"));
    std::cout.flush();
    const int saved = dup(1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
    MAIN();
    dup2(saved, 1);
    close(saved);
    if (chdir(Inst().c_str()) != 0) ADD_FAILURE() << "cannot enter " << Inst();
    return TakeLines();
  }

  // A table of a saved copy, read once.
  const std::optional<TableData>& SavedTable(const std::string& folder, const std::string& name) {
    auto& tables = saved_tables_[folder];
    if (tables.count(name) == 0) tables[name] = LoadTable(folder, name);
    return tables[name];
  }

  // Every table of the installation is one a kill between the two saved states leaves.
  void ExpectWholeTables(const std::string& before, const std::string& after) {
    std::set<std::string> names;
    for (const std::string& root : {Inst(), before, after}) {
      for (const std::string& name : TableNames(root)) names.insert(name);
    }
    for (const std::string& name : names) {
      const std::string why =
          Judge(LoadTable(Inst(), name), SavedTable(before, name), SavedTable(after, name));
      EXPECT_TRUE(why.empty()) << name << ": " << why;
    }
  }

  std::map<std::string, std::map<std::string, std::optional<TableData>>> saved_tables_;
};

TEST_F(CrashTest, KilledInEveryPhaseTheUpdateLeavesWholeTablesAndFinishesWhenRunAgain) {
  ASSERT_FALSE(test::PkzipBinary().empty()) << "the backup's zip program is not built";
  // The clean run: its changes, and the tables as each stretch of one phase begins.
  std::vector<Change> changes;
  std::map<int64_t, std::string> stretches;
  {
    CrashEnv env(&clock_, Inst(), &out_, -1);
    env.on_stretch = [&](int64_t n) {
      stretches[n] = Saved(std::to_string(n));
      CopyTables(Inst(), stretches[n]);
    };
    const std::vector<std::string> lines = RunUpdate(env);
    EXPECT_EQ(FindLine(lines, "[Alert]"), -1) << lines[std::max(0, FindLine(lines, "[Alert]"))];
    changes = env.changes();
  }
  for (const Error& e : RecordedErrors()) ADD_FAILURE() << e.description << " " << e.filename;
  ASSERT_FALSE(changes.empty());
  const int64_t total = static_cast<int64_t>(changes.size());
  stretches[total + 1] = Saved("end");
  CopyTables(Inst(), stretches[total + 1]);
  const Outcome clean = OutcomeOf(Inst());
  const pxdb::CatalogueReport check = pxdb::CheckCatalogue(Inst(), false);
  for (const std::string& fault : check.faults) ADD_FAILURE() << "clean run: " << fault;
  ASSERT_TRUE(check.ok());

  const char* points_text = std::getenv("PX_CRASH_POINTS");
  std::vector<int64_t> points =
      ChooseKillPoints(changes, points_text != nullptr ? std::max(1, std::atoi(points_text)) : 40);
  if (const char* at = std::getenv("PX_CRASH_AT")) {
    points.clear();
    std::istringstream list(at);
    for (std::string n; std::getline(list, n, ',');) {
      if (std::atoll(n.c_str()) >= 1 && std::atoll(n.c_str()) <= total) {
        points.push_back(std::atoll(n.c_str()));
      }
    }
  }
  for (int phase = -1; phase < kPhaseCount; ++phase) {
    std::vector<int64_t> in_phase;
    for (int64_t n = 1; n <= total; ++n) {
      if (changes[n - 1].phase == phase) in_phase.push_back(n);
    }
    EXPECT_TRUE(phase < 0 || !in_phase.empty())
        << "the clean run changes nothing in the phase " << PhaseName(phase);
    if (in_phase.empty()) continue;
    int chosen = 0;
    for (int64_t n : points) chosen += changes[n - 1].phase == phase;
    std::cout << "[ crash    ] " << PhaseName(phase) << ": " << in_phase.size() << " changes ("
              << in_phase.front() << " to " << in_phase.back() << "), " << chosen
              << " kill points\n";
  }

  for (const int64_t kill_at : points) {
    const Change& change = changes[kill_at - 1];
    SCOPED_TRACE("killed at change " + std::to_string(kill_at) + " of " + std::to_string(total) +
                 ", " + PhaseName(change.phase) + ": " + change.what + ", after \"" + change.shown +
                 "\"");
    RestorePristine();
    fs::remove(LastWords());
    std::cout.flush();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      CrashEnv env(&clock_, Inst(), &out_, kill_at);
      env.last_words = [&](const Change& c) { std::ofstream(LastWords()) << c.what; };
      RunUpdate(env);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
      ADD_FAILURE() << "the update ended before the change it was to be killed at";
      continue;
    }
    EXPECT_EQ(test::ReadFileBytes(LastWords()), change.what)
        << "the killed run is not where the clean run was";

    // What the application sees before anyone starts the installer again. Between the
    // renames that put a migrated table and then its memo file in place, the journal
    // lists what is left and every start of the installer completes it first; judged
    // as the installer leaves it then. (The application started in that moment would
    // see the new table with the old memo file.)
    if (fs::exists(Inst(kRenameJournal))) {
      EXPECT_TRUE(CompletePendingRenames(Inst() + "/"));
    }
    const auto stretch = std::prev(stretches.upper_bound(kill_at));
    ExpectWholeTables(stretch->second, std::next(stretch)->second);

    // The update started again.
    ClearRecordedErrors();
    runner_.command_lines.clear();
    CrashEnv env(&clock_, Inst(), &out_, -1);
    const std::vector<std::string> lines = RunUpdate(env);
    for (const std::string& line : lines) {
      EXPECT_EQ(line.find("[Alert]"), std::string::npos) << "run again: " << line;
    }
    for (const Error& e : RecordedErrors()) {
      ADD_FAILURE() << "run again: " << e.description
                    << (e.filename.empty() ? "" : " " + e.filename);
    }
    EXPECT_FALSE(runner_.command_lines.empty() || runner_.command_lines.back() != "PX")
        << "the main application was not started";
    ExpectSameOutcome(OutcomeOf(Inst()), clean);
    for (const std::string& fault : pxdb::CheckCatalogue(Inst(), false).faults) {
      ADD_FAILURE() << "run again: " << fault;
    }
  }
}

#else
TEST(CrashTest, KilledInEveryPhaseTheUpdateLeavesWholeTablesAndFinishesWhenRunAgain) {
  GTEST_SKIP() << "forks at each kill point after the clean run; Windows has no fork";
}
#endif

}  // namespace
}  // namespace px
