// A whole update of a generated installation of about 1,000,000 records (pxdb sample
// at scale 300: about 600,000 quote lines in cqass, the largest table), with the
// seconds of each phase of the update procedure.
//
// The update rebuilds customer and cqass with new structures (a field widened, one
// dropped, a number and a memo added), replaces glastype with the records it brings,
// adds a table and ships a new catalogue. The phases run in the order and the folders
// of the update procedure, each timed by itself:
//   backup      BACKZIP: BACKUP.BAT and the pkzip run over every table
//   staging     the archive copied into temp and unpacked
//   files       bitmaps installed, the catalogue saved as oldexdef
//   migration   every table of updatdef migrated
//   reset       the catalogue's folder paths carried over
//   rebuild     INIT_IDX: every index of the catalogue
//   chkblank, cleanup, setup   the repairs
//   programs    program files, libraries, the temp clean-up
// One iteration (an update changes the installation); PX_UPDATE_BENCH_SCALE sets
// another scale.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/data/index_rebuild.h"
#include "app/driver/backzip.h"
#include "app/driver/catalogue_reset.h"
#include "app/driver/main.h"
#include "app/driver/migration.h"
#include "app/driver/repairs.h"
#include "app/driver/update_run.h"
#include "archive/update_archive.h"
#include "bench/bench_folder.h"
#include "engine/engine.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/file_ops.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "runtime/directory.h"
#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "runtime/error.h"
#include "runtime/folders.h"
#include "runtime/memvars.h"
#include "runtime/process.h"
#include "tools/pxdb/field_spec.h"
#include "tools/pxdb/sample_installation.h"
#include "ui/backend.h"
#include "ui/console_backend.h"

namespace px {
namespace {

int Scale() {
  const char* s = std::getenv("PX_UPDATE_BENCH_SCALE");
  return s != nullptr && *s ? std::atoi(s) : 300;
}

double Now() {
  return static_cast<double>(GetEnv()->NowMicros()) / 1e6;
}

// The structure of a sample table with a field widened, one dropped, and the fields
// added.
Value Changed(const std::string& alias, const std::string& widen, uint32_t width,
              const std::string& drop, const std::vector<FieldDef>& added) {
  std::vector<FieldDef> fields;
  for (const pxdb::SampleTable& t : pxdb::SampleTables()) {
    if (t.alias != alias) continue;
    for (FieldDef f : t.fields) {
      if (f.name == drop) continue;
      if (f.name == widen) f.len = width;
      fields.push_back(f);
    }
  }
  fields.insert(fields.end(), added.begin(), added.end());
  return pxdb::StructureOf(fields);
}

bool CreateTable(const std::string& file, const Value& structure,
                 const std::vector<std::vector<std::pair<std::string, Value>>>& rows) {
  if (!DBCREATE(file, structure)) return false;
  DBSELECTAREA(0);
  if (!DBUSEAREA(false, "", file, "MADE", false, false)) return false;
  for (const auto& row : rows) {
    DBAPPEND();
    for (const auto& [name, value] : row) FIELDPUT(FIELDPOS(name), value);
  }
  DBCLOSEAREA();
  return true;
}

// The update archive for the installation, written to update/PXUPD.zip.
bool MakeUpdate(const std::string& inst, const std::string& root, std::string* error) {
  const std::string stage = root + "/stage";
  std::filesystem::create_directories(stage);
  std::filesystem::create_directories(root + "/update");
  std::vector<std::string> files;
  auto add = [&](const std::string& name) {
    for (const char* ext : {".dbf", ".dbt"}) {
      if (std::filesystem::exists(stage + "/" + name + ext))
        files.push_back(stage + "/" + name + ext);
    }
  };
  bool ok =
      CreateTable(stage + "/customer",
                  Changed("customer", "NAME", 50, "FAX",
                          {{"BALANCE", 'N', 12, 2}, {"HISTORY", 'M', 10, 0}}),
                  {}) &&
      CreateTable(stage + "/cqass", Changed("cqass", "LOCATION", 20, "", {{"COST", 'N', 10, 2}}),
                  {}) &&
      CreateTable(stage + "/glastype", Changed("glastype", "", 0, "", {}),
                  {{{"CODE", Value::String("4CL")}, {"DESC", Value::String("4mm clear")}}}) &&
      CreateTable(stage + "/promo", pxdb::StructureOf({{"CODE", 'C', 6, 0}, {"DESC", 'C', 30, 0}}),
                  {{{"CODE", Value::String("SPRING")}}});
  // The catalogue: the installed one and the new alias.
  ok = ok && COPYFILE(inst + "/indexdef.dbf", stage + "/indexdef.dbf").is_nil();
  DBSELECTAREA(0);
  ok = ok && DBUSEAREA(false, "", stage + "/indexdef", "CAT", false, false);
  if (ok) {
    DBAPPEND();
    FIELDPUT(FIELDPOS("DB_ALIAS"), Value::String("PROMO"));
    FIELDPUT(FIELDPOS("DB_NAME"), Value::String("promo"));
    FIELDPUT(FIELDPOS("IN_NAME"), Value::String("promocod"));
    FIELDPUT(FIELDPOS("IN_STR"), Value::String("CODE"));
    DBCLOSEAREA();
  }
  std::vector<std::vector<std::pair<std::string, Value>>> rows;
  for (const auto& [name, bring] : std::vector<std::pair<std::string, bool>>{{"customer", false},
                                                                             {"cqass", false},
                                                                             {"glastype", true},
                                                                             {"promo", false},
                                                                             {"indexdef", true}}) {
    rows.push_back({{"DB_NAME", Value::String(name)}, {"BRING_RECS", Value::Logical(bring)}});
    add(name);
  }
  ok = ok &&
       CreateTable(stage + "/updatdef",
                   pxdb::StructureOf(
                       {{"DB_NAME", 'C', 12, 0}, {"PATH", 'C', 40, 0}, {"BRING_RECS", 'L', 1, 0}}),
                   rows);
  files.push_back(stage + "/updatdef.dbf");
  if (!ok) {
    *error = "cannot make the update's tables";
    return false;
  }
  return MakeUpdateArchive(root + "/update/PXUPD.zip", "tamrok", files, error);
}

struct Phase {
  const char* name;
  double seconds = 0;
};

void BM_FullUpdate(benchmark::State& state) {
  InitEngine();
  bench::BenchFolder scratch("pxupdate");
  if (!scratch.ok()) {
    state.SkipWithError("no scratch folder");
    return;
  }
  const std::string& root = scratch.path();
  const std::string inst = root + "/inst";
  pxdb::SampleResult sample;
  std::string error;
  if (!pxdb::MakeSampleInstallation(inst, Scale(), &sample, &error) ||
      !MakeUpdate(inst, root, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  // The backup's zip program is found beside the installer; here it is in the tools
  // folder of the build.
  const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  setenv("PATH", (std::string(PX_TOOLS_DIR) + ":" + path).c_str(), 1);

  std::ostringstream out;
  ConsoleBackend::Options options;
  options.out = &out;
  ConsoleBackend console(options);
  ScopedUiBackend ui(&console);
  int errors = 0;
  ScopedErrorHandler count([&errors](Error&) {
    ++errors;
    return ErrorAnswer::Default();
  });
  GetDriveMap().Set('D', root + "/update");

  std::vector<Phase> phases = {{"backup"},  {"staging"},  {"files"},   {"migration"}, {"reset"},
                               {"rebuild"}, {"chkblank"}, {"cleanup"}, {"setup"},     {"programs"}};
  double total = 0;
  for (auto _ : state) {
    GetEnv()->ChangeDir(inst);
    ScopedMemVars vars;
    for (const char* name : {"OWND", "OFONTW", "LDEBUG", "_NETWORK"}) vars.Create(name);
    GetMemVars().Set("LDEBUG", Value::Logical(false));
    GetMemVars().Set("_NETWORK", Value::String(""));
    ApplyInstallerSettings();
    const std::string dos = HostToDos(inst);
    UpdateRun run;
    run.paths = PathVars::Make("D:", dos.substr(0, 2), dos.substr(2), "");
    run.paths.Publish(vars);
    const PathVars& p = run.paths;
    size_t at = 0;
    double mark = Now();
    const double start = mark;
    auto lap = [&] {
      const double now = Now();
      phases[at++].seconds = now - mark;
      mark = now;
    };
    BACKZIP();
    lap();
    EnterFolder(p.to_drive, p.to_path);
    MAKEDIR(Value::String("temp"));
    DIRCHANGE(Value::String("temp"));
    StageArchive(run, "PXUPD");
    lap();
    InstallBitmaps(run);
    EnterFolder(p.to_drive, p.to_path);
    SaveOldCatalogue(run);
    lap();
    MigrateTables(p, run.progress);
    lap();
    if (run.rebuild) ResetCataloguePaths(p, run.progress);
    DBCLOSEALL();
    lap();
    INIT_IDX(false, false, nullptr, &run.progress.text, nullptr);
    lap();
    CHKBLANK();
    lap();
    CLEANUP(nullptr, &run.progress.text, nullptr);
    lap();
    SETUP();
    lap();
    InstallProgramFiles(run);
    InstallLibraries(run);
    CleanTempArea(run);
    lap();
    total = Now() - start;
  }
  GetDriveMap().Remove('D');
  for (const Phase& ph : phases) {
    state.counters[std::string(ph.name) + "_s"] = benchmark::Counter(ph.seconds);
  }
  state.counters["records"] = benchmark::Counter(static_cast<double>(sample.total_records));
  state.counters["errors"] = benchmark::Counter(errors);

  std::printf("\nUpdate of %llu records (scale %d), %.1f s in all\n",
              static_cast<unsigned long long>(sample.total_records), Scale(), total);
  for (const pxdb::SampleTableCount& t : sample.tables) {
    if (t.records >= 10000) std::printf("  %-10s %9u records\n", t.alias.c_str(), t.records);
  }
  for (const Phase& ph : phases) {
    std::printf("  %-10s %8.2f s %5.1f%%\n", ph.name, ph.seconds, 100.0 * ph.seconds / total);
  }
  const std::string text = out.str();
  if (text.find("[Alert]") != std::string::npos) {
    std::printf("alerts:\n");
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("[Alert]", 0) == 0) std::printf("  %s\n", line.c_str());
    }
  }
  GetEnv()->ChangeDir(root);
}

BENCHMARK(BM_FullUpdate)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace px
