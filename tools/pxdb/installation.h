// Running the installer's data helpers (OPNALIAS, INIT_IDX) on an installation folder.
//
// While an InstallationSession lives, the folder is the current folder, two engine
// settings are switched on as the installer has them (DELETED: deleted records hidden;
// EXCLUSIVE: tables opened exclusively by default) while the others keep their values,
// every error raised is collected and answered with default, and the helpers' message
// boxes, wait windows and progress texts go as lines to a console user interface
// ("[Alert] Unable to open ..."). Everything is put back at the end.
#ifndef PX_TOOLS_PXDB_INSTALLATION_H_
#define PX_TOOLS_PXDB_INSTALLATION_H_

#include <iosfwd>
#include <memory>
#include <string>

#include "runtime/settings.h"
#include "tools/pxdb/table_access.h"

namespace px {
class ScopedUiBackend;
}

namespace px::pxdb {

class CountingConsole;

class InstallationSession {
 public:
  // Lines of the user interface go to ui_out.
  explicit InstallationSession(std::ostream& ui_out);
  ~InstallationSession();
  InstallationSession(const InstallationSession&) = delete;
  InstallationSession& operator=(const InstallationSession&) = delete;

  // Makes the folder ("" for the current one) the current folder and completes the
  // renames a stopped restore or update left in its journal (rename_journal.h); false
  // with the reason in *message when it cannot be entered or holds no catalogue
  // indexdef.dbf.
  bool Enter(const std::string& folder, std::string* message);

  // Message boxes shown so far (wait windows and progress texts not counted).
  int message_boxes() const;
  EngineSession& engine() { return engine_; }

 private:
  // Puts the current folder and the settings back (after engine_ has closed the tables
  // opened meanwhile, since members go in reverse order).
  struct Restore {
    Settings settings;
    std::string folder;  // "" when the folder was not changed
    ~Restore();
  };

  std::unique_ptr<CountingConsole> console_;
  std::unique_ptr<ScopedUiBackend> ui_;
  Restore restore_;
  EngineSession engine_;
};

}  // namespace px::pxdb

#endif  // PX_TOOLS_PXDB_INSTALLATION_H_
