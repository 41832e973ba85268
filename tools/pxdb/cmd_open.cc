// pxdb open ALIAS [--exclusive] [--folder F]: opens a table by its alias through the
// catalogue, as the installer does, and prints what was opened: alias, folder, table
// file, record count and each index file with its key. When the table cannot be opened
// the messages the installer would show are the failure line.
#include <CLI/CLI.hpp>
#include <ostream>
#include <sstream>

#include "app/data/catalogue.h"
#include "engine/dbf/dbf_area.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/dos_path.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/installation.h"

namespace px::pxdb {
namespace {

// The lines of the console user interface joined into one.
std::string JoinLines(const std::string& text) {
  std::istringstream in(text);
  std::string joined;
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    if (!joined.empty()) joined += "; ";
    joined += line;
  }
  return joined;
}

class OpenCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("ALIAS", alias_, "table alias as the catalogue names it")->required();
    sub.add_flag("--exclusive", exclusive_, "open the table exclusive instead of shared");
    sub.add_option("--folder", folder_, "installation folder (default: the current folder)");
  }

  int Run(const GlobalOptions&, Io& io) override {
    std::string alias;
    if (!Utf8ToLatin1(alias_, &alias)) return Fail(io, "the alias is not Latin-1 text");
    std::ostringstream ui;
    InstallationSession session(ui);
    std::string message;
    if (!session.Enter(folder_, &message)) return Fail(io, message);

    if (!OPNALIAS(alias, exclusive_)) {
      const std::string shown = JoinLines(ui.str());
      return Fail(io, shown.empty() ? "cannot open " + alias_ : Latin1ToUtf8(shown));
    }
    auto* area = dynamic_cast<DbfArea*>(CurrentArea());
    const std::string file = area != nullptr ? area->file_name() : std::string();
    std::string folder, name;
    SplitPath(file, &folder, &name);
    io.out << "alias: " << Latin1ToUtf8(ALIAS()) << "\n";
    io.out << "folder: " << Latin1ToUtf8(folder) << "\n";
    io.out << "file: " << Latin1ToUtf8(name) << "\n";
    io.out << "records: " << RECCOUNT() << "\n";
    const int64_t orders = DBORDERINFO(9).integer();
    for (int64_t i = 1; i <= orders; ++i) {
      const Value number = Value::Integer(i);
      io.out << "index " << i << ": " << Latin1ToUtf8(DBORDERINFO(7, number).str()) << " "
             << Latin1ToUtf8(DBORDERINFO(2, number).str()) << "\n";
    }
    // Whatever the console showed besides (nothing after a clean open).
    const std::string shown = JoinLines(ui.str());
    if (!shown.empty()) io.out << "shown: " << Latin1ToUtf8(shown) << "\n";
    return 0;
  }

 private:
  std::string alias_;
  bool exclusive_ = false;
  std::string folder_;
};

}  // namespace

std::unique_ptr<Command> MakeOpenCommand() {
  return std::make_unique<OpenCommand>();
}

}  // namespace px::pxdb
