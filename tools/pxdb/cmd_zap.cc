// pxdb zap FILE: removes every record and empties the memo file (the table is opened
// exclusive), and prints how many records went.
#include <CLI/CLI.hpp>
#include <ostream>

#include "engine/workarea/commands.h"
#include "engine/workarea/maintenance.h"
#include "engine/workarea/registry.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

class ZapCommand : public Command {
 public:
  void Define(CLI::App& sub) override { sub.add_option("FILE", file_, "table file")->required(); }
  int Run(const GlobalOptions& options, Io& io) override {
    EngineSession session;
    std::string message;
    if (OpenTable(file_, options, /*read_only=*/false, session, &message) == nullptr) {
      return Fail(io, message);
    }
    const uint32_t before = RECCOUNT();
    const bool zapped = DBZAP();
    DBCLOSEAREA();
    if (!zapped || session.failed()) {
      return Fail(io, session.failed() ? session.FirstError() : "cannot zap " + file_);
    }
    io.out << "removed " << before << " records\n";
    return 0;
  }

 private:
  std::string file_;
};

}  // namespace

std::unique_ptr<Command> MakeZapCommand() {
  return std::make_unique<ZapCommand>();
}

}  // namespace px::pxdb
