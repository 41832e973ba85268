// pxdb restructure [--force] FILE NAME:TYPE:LEN[:DEC] ...: gives a table a new structure
// and keeps its records, as the update's structure migration does.
//
// A scratch table of the new structure is created beside the table, and every record is
// appended to it field by field by name (records marked deleted stay marked, so record
// numbers do not change). Only when every step succeeded do the new files take the
// place of the table and its memo file; the old ones are kept as BASE.bak and BASE.tbk.
// A value that the new structure cannot hold (a field of another kind, a number too
// wide) stops the command with nothing changed, unless --force accepts them (those
// fields stay blank or hold asterisks). Texts are cut to shorter fields, as the
// migration does.
#include <CLI/CLI.hpp>
#include <ostream>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/field_spec.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

// The files of the table and of the scratch table, as host paths.
struct Files {
  std::string table, memo;  // memo: the existing memo file, or the name a new one takes
  bool has_memo = false;
  std::string backup, memo_backup;
  std::string scratch, scratch_memo;
  // The folder of them all, and that folder as messages name it.
  std::string folder, shown_folder;
  // A file of the folder as messages name it.
  std::string Shown(const std::string& host) const {
    if (host.compare(0, folder.size(), folder) != 0) return Latin1ToUtf8(host);
    return Latin1ToUtf8(shown_folder + host.substr(folder.size()));
  }
};

std::string DosError(int code) {
  return "DOS error " + std::to_string(code);
}

class RestructureCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("FILE", file_, "table file (.dbf is added when there is no extension)")
        ->required();
    sub.add_option("FIELDS", specs_, "the new fields as NAME:TYPE:LEN[:DEC]")->required();
    sub.add_flag("--force", force_,
                 "go on when values do not fit the new structure (they are left out)");
  }

  int Run(const GlobalOptions& options, Io& io) override {
    if (options.shared)
      return Fail(io, "restructure needs the table to itself: leave out --shared");
    std::vector<FieldDef> fields;
    std::string why;
    if (!ParseFieldSpecs(specs_, &fields, &why)) return Fail(io, why);
    Files f;
    if (!FindFiles(&f, &why)) return Fail(io, why);

    EngineSession session;
    uint32_t count = 0;
    if (!CountRecords(f.table, session, &count, &why)) return Fail(io, why);
    size_t lost = 0;
    if (!FillScratch(f, fields, count, session, &lost, &why)) {
      DropScratch(f);
      return Fail(io, why + "; " + Latin1ToUtf8(file_) + " is unchanged");
    }
    if (!Replace(f, &why)) return Fail(io, why);
    io.out << "restructured " << count << " records";
    if (lost > 0) io.out << ", " << lost << " values left out";
    io.out << "; the old files are kept as " << f.Shown(f.backup)
           << (f.has_memo ? " and " + f.Shown(f.memo_backup) : "") << "\n";
    return 0;
  }

 private:
  bool FindFiles(Files* f, std::string* why) {
    Env* env = GetEnv();
    std::string name = file_;
    std::string folder, file, base, ext;
    SplitPath(name, &folder, &file);
    SplitExtension(file, &base, &ext);
    if (ext.empty()) name += ".dbf";
    if (!env->FileExists(name)) {
      *why = "no table " + name;
      return false;
    }
    // The names as stored, whatever letter case the command line used.
    f->table = env->HostPath(name);
    const std::string given_folder = folder;
    SplitPath(f->table, &folder, &file);
    SplitExtension(file, &base, &ext);
    f->folder = folder;
#ifdef _WIN32
    // Host paths are full paths there; messages keep the folder as the command line
    // gave it.
    f->shown_folder = given_folder;
#else
    f->shown_folder = folder;
#endif
    f->has_memo = env->FileExists(folder + base + ".dbt");
    f->memo = f->has_memo ? env->HostPath(folder + base + ".dbt") : folder + base + ".dbt";
    f->backup = folder + base + ".bak";
    f->memo_backup = folder + base + ".tbk";
    if (f->table == f->backup || f->memo == f->memo_backup) {
      *why = "a table named like its own backup cannot be restructured: rename it first";
      return false;
    }
    for (int n = 1; n <= 999; ++n) {
      const std::string number = std::to_string(n);
      const std::string scratch = folder + "zzrs" + std::string(3 - number.size(), '0') + number;
      if (!env->FileExists(scratch + ".dbf") && !env->FileExists(scratch + ".dbt")) {
        f->scratch = scratch + ".dbf";
        f->scratch_memo = scratch + ".dbt";
        return true;
      }
    }
    *why = "no free scratch name zzrs001 to zzrs999 in " + folder;
    return false;
  }

  // Opens the table alone (nobody else may hold it) and counts its records.
  bool CountRecords(const std::string& table, EngineSession& session, uint32_t* count,
                    std::string* why) {
    GlobalOptions exclusive;
    if (OpenTable(table, exclusive, /*read_only=*/true, session, why) == nullptr) return false;
    *count = RECCOUNT();
    DBCLOSEAREA();
    return true;
  }

  // Creates the scratch table and appends every record; *lost counts the values left
  // out with --force.
  bool FillScratch(const Files& f, const std::vector<FieldDef>& fields, uint32_t count,
                   EngineSession& session, size_t* lost, std::string* why) {
    session.Clear();
    if (!DBCREATE(f.scratch, StructureOf(fields), "", true, "PXDBNEW")) {
      *why = session.failed() ? session.FirstError() : "cannot create " + f.scratch;
      return false;
    }
    const uint32_t appended = DBAPP(Value::String(f.table));
    std::vector<Error> errors = session.errors();
    session.Clear();
    DBCLOSEAREA();
    if (session.failed()) errors.push_back(session.errors().front());
    *lost = 0;
    for (const Error& e : errors) {
      const bool not_stored = e.gen_code == kErrDataType || e.gen_code == kErrDataWidth;
      if (!not_stored || !force_) {
        *why = Latin1ToUtf8(ERRORMESSAGE(e));
        if (not_stored) *why += " (--force leaves such values out)";
        return false;
      }
      ++*lost;
    }
    if (appended != count) {
      *why = "appended " + std::to_string(appended) + " of " + std::to_string(count) + " records";
      return false;
    }
    return true;
  }

  static void DropScratch(const Files& f) {
    Env* env = GetEnv();
    env->DeleteFile(f.scratch);
    if (env->FileExists(f.scratch_memo)) env->DeleteFile(f.scratch_memo);
  }

  // Moves the old files aside and the new ones into place. While it runs, either the
  // table file is missing or it stands beside its own memo file; a step that fails
  // undoes the ones before it.
  bool Replace(const Files& f, std::string* why) {
    Env* env = GetEnv();
    const bool new_memo = env->FileExists(f.scratch_memo);
    std::vector<std::pair<std::string, std::string>> done;  // moves made, from -> to
    auto undo = [&]() {
      for (auto it = done.rbegin(); it != done.rend(); ++it)
        env->ReplaceFile(it->second, it->first);
    };
    auto move = [&](const std::string& from, const std::string& to, bool replace) {
      const int code = replace ? env->ReplaceFile(from, to) : env->RenameFile(from, to);
      if (code != 0) {
        *why = "cannot move " + f.Shown(from) + " to " + f.Shown(to) + ": " + DosError(code);
        return false;
      }
      done.emplace_back(from, to);
      return true;
    };
    bool ok = move(f.table, f.backup, true);
    if (ok && f.has_memo) ok = move(f.memo, f.memo_backup, true);
    if (ok && new_memo) ok = move(f.scratch_memo, f.memo, false);
    if (ok) ok = move(f.scratch, f.table, false);
    if (!ok) {
      undo();
      DropScratch(f);
      *why += "; " + Latin1ToUtf8(file_) + " is unchanged";
    }
    return ok;
  }

  std::string file_;
  std::vector<std::string> specs_;
  bool force_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeRestructureCommand() {
  return std::make_unique<RestructureCommand>();
}

}  // namespace px::pxdb
