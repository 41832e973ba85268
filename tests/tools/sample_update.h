// An installation and an update for it, made with pxdb as support staff make them, and
// the installer run on them.
#ifndef PX_TESTS_TOOLS_SAMPLE_UPDATE_H_
#define PX_TESTS_TOOLS_SAMPLE_UPDATE_H_

#include <map>
#include <string>

namespace px::test {

// A sample installation in the folder `inst` (pxdb sample, scale 1) whose program PX
// does nothing.
void MakeSampleInstallation(const std::string& inst);

// The update folder `upd` with PXUPD.zip (password "tamrok") for the installation:
// customer rebuilt keeping its records, with NAME given name_len characters and, when
// drop_fax, FAX dropped. With new_catalogue the update also ships a catalogue that
// knows a new alias PROMO and indexes customer's CUSTNAME on "UPPER(NAME)+CODE".
void MakeCustomerUpdate(const std::string& inst, const std::string& upd, int name_len,
                        bool drop_fax = true, bool new_catalogue = false);

// Runs the pxupdate program in `inst` on the console, updating from `upd` (as drive
// D:); its exit code.
int RunInstaller(const std::string& inst, const std::string& upd);

// The table and memo files (*.dbf, *.dbt) of a folder by name, with their bytes.
std::map<std::string, std::string> TableFiles(const std::string& folder);

// Adds the folder of the built programs (pkzip) to PATH while it lives, so that the
// backup that pxdb runs in the test process finds its zip program.
class ToolsOnPath {
 public:
  ToolsOnPath();
  ~ToolsOnPath();
  ToolsOnPath(const ToolsOnPath&) = delete;
  ToolsOnPath& operator=(const ToolsOnPath&) = delete;

 private:
  std::string previous_;
};

}  // namespace px::test

#endif  // PX_TESTS_TOOLS_SAMPLE_UPDATE_H_
