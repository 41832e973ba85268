// pxdb struct FILE: one line per field, NAME TYPE LEN DEC, the type letter as stored.
#include <CLI/CLI.hpp>
#include <ostream>

#include "tools/pxdb/command.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

class StructCommand : public Command {
 public:
  void Define(CLI::App& sub) override { sub.add_option("FILE", file_, "table file")->required(); }
  int Run(const GlobalOptions& options, Io& io) override {
    EngineSession session;
    std::string message;
    DbfArea* area = OpenTable(file_, options, /*read_only=*/true, session, &message);
    if (area == nullptr) return Fail(io, message);
    for (const DbfField& f : area->fields()) {
      io.out << Latin1ToUtf8(f.name) << ' ' << Latin1ToUtf8(std::string(1, f.letter)) << ' '
             << f.len << ' ' << f.dec << '\n';
    }
    return 0;
  }

 private:
  std::string file_;
};

}  // namespace

std::unique_ptr<Command> MakeStructCommand() {
  return std::make_unique<StructCommand>();
}

}  // namespace px::pxdb
