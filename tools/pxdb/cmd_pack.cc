// pxdb pack FILE: removes the records marked deleted (the table is opened exclusive)
// and prints how many went.
#include <CLI/CLI.hpp>
#include <ostream>

#include "engine/workarea/commands.h"
#include "engine/workarea/maintenance.h"
#include "engine/workarea/registry.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

class PackCommand : public Command {
 public:
  void Define(CLI::App& sub) override { sub.add_option("FILE", file_, "table file")->required(); }
  int Run(const GlobalOptions& options, Io& io) override {
    EngineSession session;
    std::string message;
    if (OpenTable(file_, options, /*read_only=*/false, session, &message) == nullptr) {
      return Fail(io, message);
    }
    const uint32_t before = RECCOUNT();
    const bool packed = DBPACK();
    const uint32_t after = RECCOUNT();
    DBCLOSEAREA();
    if (!packed || session.failed()) {
      return Fail(io, session.failed() ? session.FirstError() : "cannot pack " + file_);
    }
    io.out << "removed " << before - after << " of " << before << " records\n";
    return 0;
  }

 private:
  std::string file_;
};

}  // namespace

std::unique_ptr<Command> MakePackCommand() {
  return std::make_unique<PackCommand>();
}

}  // namespace px::pxdb
