// pxdb check FILE NTX...: checks index files against their table. Each index is walked
// page by page (every page well-formed, keys in order, the tree balanced, no page
// reachable twice, the free list sane) and its keys compared with the keys the table's
// records give (every record's key present exactly once with its record number; in a
// unique index every key value once). Prints "NTX: ok, N keys, D levels" or one line
// per problem, and exits with 1 when any index has a problem.
#include <CLI/CLI.hpp>
#include <ostream>

#include "engine/ntx/index_verifier.h"
#include "engine/ntx/ntx_area.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/dos_path.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

class CheckCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("FILE", file_, "table file")->required();
    sub.add_option("NTX", indexes_, "index files")->required();
  }

  int Run(const GlobalOptions& options, Io& io) override {
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
        report = VerifyFile(index);
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
  // The structure of a file that does not open as an order.
  static ntx::VerifyReport VerifyFile(const std::string& index) {
    std::string folder, file, base, ext;
    SplitPath(index, &folder, &file);
    SplitExtension(file, &base, &ext);
    const std::string name = ext.empty() ? index + ".ntx" : index;
    int code = 0;
    std::unique_ptr<File> f =
        GetEnv()->OpenFile(name, FileAccess::kRead, FileShare::kDenyNone, &code);
    if (f == nullptr) return ntx::VerifyReport();
    return ntx::VerifyIndex(f.get());
  }

  std::string file_;
  std::vector<std::string> indexes_;
};

}  // namespace

std::unique_ptr<Command> MakeCheckCommand() {
  return std::make_unique<CheckCommand>();
}

}  // namespace px::pxdb
