// pxdb lock FILE RECNO SECONDS: opens the table shared, as a workstation of the
// application does, locks record RECNO and holds the lock for SECONDS seconds. Once
// the lock is held it prints "locked record RECNO of FILE" on a line of its own; it
// fails when another workstation holds the record, the file lock or the table
// exclusively. RECNO may also be the record past the end (the next append's number),
// which keeps other workstations from appending meanwhile.
#include <CLI/CLI.hpp>
#include <ostream>

#include "engine/workarea/commands.h"
#include "runtime/env.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

class LockCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("FILE", file_, "table file")->required();
    sub.add_option("RECNO", recno_, "record number")->required()->check(CLI::PositiveNumber);
    sub.add_option("SECONDS", seconds_, "how long to hold the lock")
        ->required()
        ->check(CLI::NonNegativeNumber);
  }

  int Run(const GlobalOptions& options, Io& io) override {
    GlobalOptions shared = options;
    shared.shared = true;  // an exclusive table takes no locks
    EngineSession session;
    std::string message;
    if (OpenTable(file_, shared, /*read_only=*/false, session, &message) == nullptr) {
      return Fail(io, message);
    }
    const uint32_t count = RECCOUNT();
    if (recno_ > static_cast<uint64_t>(count) + 1) {
      return Fail(io, "record " + std::to_string(recno_) + " does not exist (the table holds " +
                          std::to_string(count) + " records)");
    }
    DBGOTO(static_cast<uint32_t>(recno_));
    if (!RLOCK()) {
      if (session.failed()) return Fail(io, session.FirstError());
      return Fail(io, "record " + std::to_string(recno_) + " is locked by another workstation");
    }
    io.out << "locked record " << recno_ << " of " << Latin1ToUtf8(file_) << std::endl;
    SleepSeconds(seconds_);
    DBUNLOCK();
    return 0;
  }

 private:
  std::string file_;
  uint64_t recno_ = 0;
  double seconds_ = 0;
};

}  // namespace

std::unique_ptr<Command> MakeLockCommand() {
  return std::make_unique<LockCommand>();
}

}  // namespace px::pxdb
