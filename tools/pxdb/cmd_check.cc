// pxdb check FILE NTX...: checks index files against their table. Each index is walked
// page by page (every page well-formed, keys in order, the tree balanced, no page
// reachable twice, the free list sane) and its keys compared with the keys the table's
// records give (every record's key present exactly once with its record number; in a
// unique index every key value once). Prints "NTX: ok, N keys, D levels" or one line
// per problem, and exits with 1 when any index has a problem.
//
// pxdb check --catalogue [FOLDER]: checks every table and index file the folder's
// catalogue names (catalogue_check.h); prints one line per fault, or a summary line
// when all is well, and exits with 1 when there is any fault.
#include <CLI/CLI.hpp>
#include <ostream>

#include "engine/ntx/index_verifier.h"
#include "engine/ntx/ntx_area.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "tools/pxdb/catalogue_check.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/index_access.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

class CheckCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("FILE", file_, "table file");
    sub.add_option("NTX", indexes_, "index files");
    catalogue_ = sub.add_option("--catalogue", folder_,
                                "check every table and index of the catalogue in FOLDER "
                                "(default: the current folder)")
                     ->expected(0, 1);
  }

  int Run(const GlobalOptions& options, Io& io) override {
    if (catalogue_->count() > 0) {
      if (!file_.empty()) return Fail(io, "give either --catalogue or FILE and NTX, not both");
      return RunCatalogue(options, io);
    }
    if (file_.empty() || indexes_.empty()) {
      return Fail(io, "give a table FILE and its NTX files, or --catalogue [FOLDER]");
    }
    EngineSession session;
    std::string message;
    if (OpenTable(file_, options, /*read_only=*/true, session, &message) == nullptr) {
      return Fail(io, message);
    }
    auto* area = dynamic_cast<NtxArea*>(CurrentArea());
    if (area == nullptr) return Fail(io, "the table's driver has no orders");
    bool all_ok = true;
    for (const std::string& index : indexes_) {
      ntx::VerifyReport report;
      ORDLISTCLEAR();
      session.Clear();
      ORDLISTADD(index);
      if (area->order_count() == 1) {
        report = area->CheckOrder(*area->order(1));
      } else {
        report = VerifyIndexFile(index);
        report.Problem(session.failed() ? session.FirstError()
                                        : std::string("it cannot be opened as an index"));
      }
      const std::string name = Latin1ToUtf8(index);
      if (report.ok()) {
        io.out << name << ": ok, " << report.keys << " keys, " << report.depth << " levels\n";
        continue;
      }
      all_ok = false;
      for (const std::string& p : report.problems)
        io.out << name << ": " << Latin1ToUtf8(p) << '\n';
    }
    return all_ok ? 0 : 1;
  }

 private:
  int RunCatalogue(const GlobalOptions& options, Io& io) {
    std::string folder;
    if (!Utf8ToLatin1(folder_, &folder)) return Fail(io, "the folder name is not Latin-1 text");
    const CatalogueReport report = CheckCatalogue(folder, options.shared);
    for (const std::string& fault : report.faults) io.out << Latin1ToUtf8(fault) << '\n';
    if (!report.ok()) {
      io.out << report.faults.size() << (report.faults.size() == 1 ? " fault\n" : " faults\n");
      return 1;
    }
    io.out << "catalogue ok: " << report.tables << " tables, " << report.indexes << " indexes, "
           << report.records << " records, " << report.keys << " keys\n";
    return 0;
  }

  CLI::Option* catalogue_ = nullptr;
  std::string folder_;
  std::string file_;
  std::vector<std::string> indexes_;
};

}  // namespace

std::unique_ptr<Command> MakeCheckCommand() {
  return std::make_unique<CheckCommand>();
}

}  // namespace px::pxdb
