// A command of pxdb. Each command lives in a file of its own (cmd_NAME.cc) that defines
// a factory, and has one line in command_table.cc; nothing else needs to change to add
// one.
#ifndef PX_TOOLS_PXDB_COMMAND_H_
#define PX_TOOLS_PXDB_COMMAND_H_

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace px::pxdb {

// Options that hold for every command.
struct GlobalOptions {
  bool shared = false;  // open tables shared instead of exclusive
};

struct Io {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
};

class Command {
 public:
  virtual ~Command() = default;
  // Adds the command's arguments and options to its subcommand.
  virtual void Define(CLI::App& sub) = 0;
  // Runs the command after parsing; returns the exit code (0 success, 1 failure).
  // Failures are reported as one line on io.err (see Fail in table_access.h).
  virtual int Run(const GlobalOptions& options, Io& io) = 0;
};

struct CommandInfo {
  const char* name;
  const char* summary;
  std::unique_ptr<Command> (*make)();
};

// Every command, in the order `pxdb --help` lists them.
const std::vector<CommandInfo>& CommandTable();

}  // namespace px::pxdb

#endif  // PX_TOOLS_PXDB_COMMAND_H_
