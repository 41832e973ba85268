// pxdb keys FILE NTX: the keys of an index in key order, one per line: the record number
// and the key bytes as a JSON string (bytes as Latin-1 characters), separated by a tab.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <ostream>

#include "tools/pxdb/command.h"
#include "tools/pxdb/index_access.h"

namespace px::pxdb {
namespace {

class KeysCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("FILE", file_, "table file")->required();
    sub.add_option("NTX", index_, "index file")->required();
  }

  int Run(const GlobalOptions& options, Io& io) override {
    EngineSession session;
    std::string message;
    NtxArea* area = OpenIndexedTable(file_, index_, options, session, &message);
    if (area == nullptr) return Fail(io, message);
    ntx::Order& order = *area->order(1);
    ntx::IndexLock lock(&order.file());
    ntx::KeyTree& tree = *order.tree;
    ntx::KeyTree::Step s = tree.First();
    for (; s == ntx::KeyTree::Step::kKey; s = tree.Next()) {
      io.out << tree.current().recno << '\t'
             << nlohmann::json(Latin1ToUtf8(tree.current().key)).dump() << '\n';
    }
    tree.ForgetCurrent();
    if (s != ntx::KeyTree::Step::kEnd || session.failed()) {
      return Fail(io, session.failed() ? session.FirstError() : "the index cannot be walked");
    }
    return 0;
  }

 private:
  std::string file_;
  std::string index_;
};

}  // namespace

std::unique_ptr<Command> MakeKeysCommand() {
  return std::make_unique<KeysCommand>();
}

}  // namespace px::pxdb
