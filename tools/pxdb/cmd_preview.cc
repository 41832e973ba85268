// pxdb preview UPDATE [--folder INSTALLATION] [--json]: what an update would do to an
// installation, changing nothing (update_preview.h). UPDATE is the update folder or its
// PXUPD.zip. Exit code 0 when the update would apply with no value lost and nothing in
// use, else 1.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <ostream>

#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/installation.h"
#include "tools/pxdb/table_access.h"
#include "tools/pxdb/update_preview.h"

namespace px::pxdb {
namespace {

using Json = nlohmann::ordered_json;

std::string FieldText(const DbfField& f) {
  std::string text = std::string(1, f.letter) + " " + std::to_string(f.len);
  if (f.dec > 0) text += "." + std::to_string(f.dec);
  return text;
}

std::string Records(const std::vector<uint32_t>& records, uint64_t count) {
  std::string text;
  for (uint32_t r : records) text += (text.empty() ? "" : ", ") + std::to_string(r);
  if (count > records.size()) text += ", ...";
  return text;
}

std::string Quoted(const std::string& text) {
  return "\"" + Latin1ToUtf8(text) + "\"";
}

void PrintText(const UpdatePreview& p, const std::string& folder, std::ostream& out) {
  out << "Update " << p.archive << " (" << p.entries << " entries) for the installation in "
      << folder << "\n";
  for (const TablePreview& t : p.tables) {
    out << Latin1ToUtf8(t.name) << ": ";
    if (!t.problem.empty()) {
      out << "PROBLEM: " << Latin1ToUtf8(t.problem) << "\n";
      continue;
    }
    if (t.rebuilt) {
      out << "rebuilt, " << t.records << " records, " << t.carried << " carried over\n";
    } else if (t.installed) {
      out << "copied, its " << t.brings << " records replace the " << t.records << " installed\n";
    } else {
      out << "copied (new table), " << t.brings << " records\n";
    }
    for (const FieldChange& c : t.changes) {
      out << "  " << c.change << " " << c.field;
      if (c.change == "added") out << " " << FieldText(c.after);
      if (c.change == "dropped") out << " " << FieldText(c.before);
      if (c.change != "added" && c.change != "dropped") {
        out << " " << FieldText(c.before) << " -> " << FieldText(c.after);
      }
      out << "\n";
    }
    for (const ValueLoss& l : t.losses) {
      out << "  " << l.field << ": " << l.count << (l.count == 1 ? " value " : " values ")
          << (l.kind == "asterisks" ? "turned to asterisks" : l.kind) << ", records "
          << Records(l.records, l.count) << "\n";
    }
  }
  if (p.catalogue_shipped) {
    out << "Catalogue: " << (p.catalogue.empty() ? "shipped, no changes" : "shipped") << "\n";
    for (const CatalogueChange& c : p.catalogue) {
      out << "  " << c.change << " " << c.alias;
      if (!c.index.empty()) out << " " << c.index;
      if (c.change == "new alias") out << ", path " << Quoted(c.after);
      if (c.change == "new index") out << ": " << Quoted(c.after);
      if (c.change == "key changed") out << ": " << Quoted(c.before) << " -> " << Quoted(c.after);
      if (c.change == "path differs") {
        out << ": shipped " << Quoted(c.after) << ", installed " << Quoted(c.before) << " kept";
      }
      out << "\n";
    }
  }
  out << "In use on another workstation: ";
  for (size_t i = 0; i < p.in_use.size(); ++i) out << (i > 0 ? ", " : "") << p.in_use[i];
  out << (p.in_use.empty() ? "nothing\n" : "\n");
  out << "Program files:";
  for (const ProgramFile& f : p.program_files) {
    out << "\n  " << f.name << (f.replaces ? " (replaces the installed file)" : " (new)");
  }
  out << (p.program_files.empty() ? " none\n" : "\n");
  out << "Values cut, turned to asterisks or lost: " << p.values_lost << "\n";
}

Json FieldJson(const DbfField& f) {
  return {{"type", std::string(1, f.letter)}, {"len", f.len}, {"dec", f.dec}};
}

Json ToJson(const UpdatePreview& p, const std::string& folder) {
  Json tables = Json::array();
  for (const TablePreview& t : p.tables) {
    Json changes = Json::array(), losses = Json::array();
    for (const FieldChange& c : t.changes) {
      Json j = {{"change", c.change}, {"field", c.field}};
      if (c.change != "added") j["before"] = FieldJson(c.before);
      if (c.change != "dropped") j["after"] = FieldJson(c.after);
      changes.push_back(std::move(j));
    }
    for (const ValueLoss& l : t.losses) {
      losses.push_back(
          {{"field", l.field}, {"kind", l.kind}, {"count", l.count}, {"records", l.records}});
    }
    tables.push_back({{"table", Latin1ToUtf8(t.name)},
                      {"action", t.rebuilt ? "rebuild" : "copy"},
                      {"installed", t.installed},
                      {"records", t.records},
                      {"carried", t.carried},
                      {"brings", t.brings},
                      {"changes", std::move(changes)},
                      {"losses", std::move(losses)},
                      {"problem", Latin1ToUtf8(t.problem)}});
  }
  Json catalogue = Json::array();
  for (const CatalogueChange& c : p.catalogue) {
    catalogue.push_back({{"change", c.change},
                         {"alias", Latin1ToUtf8(c.alias)},
                         {"index", Latin1ToUtf8(c.index)},
                         {"before", Latin1ToUtf8(c.before)},
                         {"after", Latin1ToUtf8(c.after)}});
  }
  Json programs = Json::array();
  for (const ProgramFile& f : p.program_files) {
    programs.push_back({{"file", f.name}, {"replaces", f.replaces}});
  }
  return {{"archive", p.archive},
          {"installation", folder},
          {"tables", std::move(tables)},
          {"catalogue_shipped", p.catalogue_shipped},
          {"catalogue", std::move(catalogue)},
          {"in_use", p.in_use},
          {"program_files", std::move(programs)},
          {"values_lost", p.values_lost},
          {"clean", p.Clean()}};
}

class PreviewCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("UPDATE", update_, "the update folder or its PXUPD.zip")->required();
    sub.add_option("--folder", folder_, "installation folder (default: the current folder)");
    sub.add_flag("--json", json_, "print one JSON document instead of text");
    sub.footer(
        "Changes nothing. Prints, for every table of the update definition, whether it\n"
        "is rebuilt or copied, its structure changes and the values that would be cut,\n"
        "turned to asterisks or lost (with the first record numbers); the catalogue's\n"
        "changes; the files held by another workstation; the program files replaced.\n"
        "Exit code 0 when nothing would be lost and nothing is in use, else 1.");
  }

  int Run(const GlobalOptions&, Io& io) override {
    Env* env = GetEnv();
    std::string archive = env->HostPath(update_);
    if (!archive.empty() && env->DirExists(archive))
      archive = env->HostPath(archive + "/PXUPD.zip");
    if (archive.empty() || !env->FileExists(archive)) {
      return Fail(io, "there is no update archive " + update_ +
                          (env->DirExists(env->HostPath(update_)) ? "/PXUPD.zip" : ""));
    }
    if (!IsAbsoluteHostPath(archive)) archive = env->CurrentDir() + "/" + archive;

    InstallationSession session(io.err);
    std::string message;
    if (!session.Enter(folder_, &message)) return Fail(io, message);
    UpdatePreview preview;
    if (!PreviewUpdate(archive, &preview, &message)) return Fail(io, message);
    if (json_) {
      io.out << ToJson(preview, env->CurrentDir()).dump(2) << "\n";
    } else {
      PrintText(preview, env->CurrentDir(), io.out);
    }
    return preview.Clean() ? 0 : 1;
  }

 private:
  std::string update_;
  std::string folder_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakePreviewCommand() {
  return std::make_unique<PreviewCommand>();
}

}  // namespace px::pxdb
