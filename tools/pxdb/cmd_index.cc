// pxdb index FILE NTX "EXPR" [--unique]: builds an index file over every record of a
// table, as the installer's index rebuild does, and prints the number of keys.
#include <CLI/CLI.hpp>
#include <ostream>

#include "engine/ntx/ntx_area.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

class IndexCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("FILE", file_, "table file")->required();
    sub.add_option("NTX", index_, "index file to create (replaced when it exists)")->required();
    sub.add_option("EXPR", key_, "key expression")->required();
    sub.add_flag("--unique", unique_, "index only the first record of each key value");
  }

  int Run(const GlobalOptions& options, Io& io) override {
    std::string key;
    if (!Utf8ToLatin1(key_, &key)) return Fail(io, "the key expression is not Latin-1 text");
    EngineSession session;
    std::string message;
    if (OpenTable(file_, options, /*read_only=*/true, session, &message) == nullptr) {
      return Fail(io, message);
    }
    DBCREATEINDEX(index_, key, nullptr, unique_);
    if (session.failed()) return Fail(io, session.FirstError());
    auto* area = dynamic_cast<NtxArea*>(CurrentArea());
    if (area == nullptr || area->order_count() != 1) {
      return Fail(io,
                  "the index was not built: the key is of no indexable type, its length "
                  "changes from record to record, or the file cannot be created");
    }
    io.out << DBORDERINFO(26).integer() << " keys\n";
    return 0;
  }

 private:
  std::string file_;
  std::string index_;
  std::string key_;
  bool unique_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeIndexCommand() {
  return std::make_unique<IndexCommand>();
}

}  // namespace px::pxdb
