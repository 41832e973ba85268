// pxdb sample FOLDER [--scale N]: writes a sample installation (the catalogue, every
// table it describes with records and memo texts, and every index it names) into a new
// or empty folder, and prints one line per table: alias, records, indexes.
#include <CLI/CLI.hpp>
#include <ostream>

#include "tools/pxdb/command.h"
#include "tools/pxdb/sample_installation.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

class SampleCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("FOLDER", folder_, "folder to fill (created when missing; must hold no tables)")
        ->required();
    sub.add_option("--scale", scale_,
                   "multiplies the record counts: 0 a handful per table, 1 about four "
                   "thousand in all, 500 about a million quote lines")
        ->check(CLI::Range(0, kMaxSampleScale));
  }

  int Run(const GlobalOptions& /*options*/, Io& io) override {
    std::string folder;
    if (!Utf8ToLatin1(folder_, &folder)) return Fail(io, "the folder name is not Latin-1 text");
    SampleResult result;
    std::string error;
    if (!MakeSampleInstallation(folder, scale_, &result, &error)) {
      return Fail(io, Latin1ToUtf8(error));
    }
    for (const SampleTableCount& t : result.tables) {
      io.out << t.alias << ": " << t.records << " records";
      if (t.deleted > 0) io.out << " (" << t.deleted << " deleted)";
      io.out << ", " << t.indexes << (t.indexes == 1 ? " index\n" : " indexes\n");
    }
    io.out << "total: " << result.total_records << " records in " << result.tables.size() - 1
           << " tables\n";
    return 0;
  }

 private:
  std::string folder_;
  int scale_ = 1;
};

}  // namespace

std::unique_ptr<Command> MakeSampleCommand() {
  return std::make_unique<SampleCommand>();
}

}  // namespace px::pxdb
