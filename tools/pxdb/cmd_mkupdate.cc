// pxdb mkupdate OUT.zip PASSWORD FILE...: makes an update archive. Each file goes in at
// the top level under its own name, encrypted with traditional PKWARE encryption so
// that every unpacker reads it; an existing OUT.zip is replaced.
#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "archive/update_archive.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

class MkupdateCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("OUT", archive_, "the archive to write (e.g. PXUPD.zip)")->required();
    sub.add_option("PASSWORD", password_, "the update password")->required();
    sub.add_option("FILE", files_, "files to put into the archive")->required();
  }
  int Run(const GlobalOptions&, Io& io) override {
    std::string error;
    if (!MakeUpdateArchive(archive_, password_, files_, &error)) return Fail(io, error);
    return 0;
  }

 private:
  std::string archive_;
  std::string password_;
  std::vector<std::string> files_;
};

}  // namespace

std::unique_ptr<Command> MakeMkupdateCommand() {
  return std::make_unique<MkupdateCommand>();
}

}  // namespace px::pxdb
