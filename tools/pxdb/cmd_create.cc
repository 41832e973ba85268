// pxdb create [--force] FILE NAME:TYPE:LEN[:DEC] ...: creates a table (and its memo file
// when there is an M field). An existing file is replaced only with --force.
#include <CLI/CLI.hpp>

#include "engine/dbf/dbf_format.h"
#include "engine/workarea/registry.h"
#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/field_spec.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

class CreateCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("FILE", file_, "table file (.dbf is added when there is no extension)")
        ->required();
    sub.add_option("FIELDS", specs_, "fields as NAME:TYPE:LEN[:DEC]")->required();
    sub.add_flag("--force", force_, "replace an existing file");
  }

  int Run(const GlobalOptions& /*options*/, Io& io) override {
    std::vector<FieldDef> fields;
    std::string why;
    if (!ParseFieldSpecs(specs_, &fields, &why)) return Fail(io, why);
    std::string name = file_;
    std::string folder, file, base, ext;
    SplitPath(name, &folder, &file);
    SplitExtension(file, &base, &ext);
    if (ext.empty()) name += ".dbf";
    if (!force_ && GetEnv()->FileExists(name)) {
      return Fail(io, name + " exists (use --force to replace it)");
    }

    EngineSession session;
    DBSELECTAREA(0);
    WorkArea* area = NewAreaInCurrentSlot("");
    if (area == nullptr) return Fail(io, "no table driver");
    OpenInfo info;
    info.area = area->area_number();
    info.file_name = name;
    const bool created = area->CreateFields(fields) && area->Create(info);
    area->Close();
    ReleaseCurrentArea();
    if (!created || session.failed()) {
      return Fail(io, session.failed() ? session.FirstError() : "cannot create " + name);
    }
    return 0;
  }

 private:
  std::string file_;
  std::vector<std::string> specs_;
  bool force_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeCreateCommand() {
  return std::make_unique<CreateCommand>();
}

}  // namespace px::pxdb
