// pxdb appendfrom DEST SOURCE: appends every record of SOURCE to DEST, field by field by
// name, as the update's structure migration does: deleted records are carried and stay
// marked deleted, texts are cut to shorter fields, numbers written to the new widths,
// and values of another kind than their field are left out (the field stays blank).
// Prints how many records were appended; errors on the way (values that could not be
// stored) are counted and the first one reported, with exit code 1 (the records stay
// appended).
#include <CLI/CLI.hpp>
#include <ostream>

#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

class AppendFromCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("DEST", dest_, "table file to append to")->required();
    sub.add_option("SOURCE", source_, "table file to read the records from")->required();
  }
  int Run(const GlobalOptions& options, Io& io) override {
    EngineSession session;
    std::string message;
    if (OpenTable(dest_, options, /*read_only=*/false, session, &message) == nullptr) {
      return Fail(io, message);
    }
    const uint32_t appended = DBAPP(Value::String(source_));
    const std::vector<Error> errors = session.errors();
    session.Clear();
    DBCLOSEAREA();
    if (appended == 0 && !errors.empty()) return Fail(io, Latin1ToUtf8(ERRORMESSAGE(errors[0])));
    if (session.failed()) return Fail(io, session.FirstError());
    io.out << "appended " << appended << " records\n";
    if (!errors.empty()) {
      return Fail(io, std::to_string(errors.size()) + " errors while appending, the first: " +
                          Latin1ToUtf8(ERRORMESSAGE(errors[0])));
    }
    return 0;
  }

 private:
  std::string dest_;
  std::string source_;
};

}  // namespace

std::unique_ptr<Command> MakeAppendFromCommand() {
  return std::make_unique<AppendFromCommand>();
}

}  // namespace px::pxdb
