// pxdb rebuild [FOLDER]: rebuilds every index file named in the table catalogue of an
// installation, as the update does (no table is emptied). The progress texts and the
// messages of the rebuild are printed as they come, then one line for each catalogue
// record whose index the rebuild passed over (NOINDEX) although it is missing, so that
// its alias cannot be opened; the exit code is 1 when there was any problem (such a
// record, a table that could not be opened, an error raised).
#include <CLI/CLI.hpp>
#include <ostream>

#include "tools/pxdb/catalogue_rebuild.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/installation.h"

namespace px::pxdb {
namespace {

class RebuildCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("FOLDER", folder_, "installation folder (default: the current folder)");
  }

  int Run(const GlobalOptions&, Io& io) override {
    InstallationSession session(io.out);
    std::string message;
    if (!session.Enter(folder_, &message)) return Fail(io, message);

    const int problems = RebuildCatalogueIndexes(session, io, /*pack=*/true);
    if (problems > 0) {
      return Fail(io, "the rebuild reported " + std::to_string(problems) +
                          (problems == 1 ? " problem" : " problems"));
    }
    io.out << "index files rebuilt\n";
    return 0;
  }

 private:
  std::string folder_;
};

}  // namespace

std::unique_ptr<Command> MakeRebuildCommand() {
  return std::make_unique<RebuildCommand>();
}

}  // namespace px::pxdb
