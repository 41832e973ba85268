// pxdb count FILE: the record count (from the file size, as the engine counts).
#include <CLI/CLI.hpp>
#include <ostream>

#include "engine/workarea/commands.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

class CountCommand : public Command {
 public:
  void Define(CLI::App& sub) override { sub.add_option("FILE", file_, "table file")->required(); }
  int Run(const GlobalOptions& options, Io& io) override {
    EngineSession session;
    std::string message;
    if (OpenTable(file_, options, /*read_only=*/true, session, &message) == nullptr) {
      return Fail(io, message);
    }
    io.out << RECCOUNT() << '\n';
    return 0;
  }

 private:
  std::string file_;
};

}  // namespace

std::unique_ptr<Command> MakeCountCommand() {
  return std::make_unique<CountCommand>();
}

}  // namespace px::pxdb
