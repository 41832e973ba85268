// What an update makes sure of before it changes anything in the installation.
//
// UPDATE1 stops, showing the one alert a check returns and changing nothing more, when:
//   - the folder it runs in holds no table catalogue (it is no installation);
//   - the backup is not whole: the zip program failed, the archive does not test clean
//     (every entry read back against its CRC) or lacks a file the backup was to take;
//   - another workstation holds the catalogue, a table the update migrates or replaces,
//     or a table the index rebuild or the repairs will pack.
// Each check returns "" when the update may go on, else the alert's text.
#ifndef PX_APP_DRIVER_UPDATE_CHECKS_H_
#define PX_APP_DRIVER_UPDATE_CHECKS_H_

#include <string>
#include <vector>

#include "app/driver/backzip.h"
#include "app/driver/update_definition.h"

namespace px {

struct PathVars;

// The current folder, the installation folder `p` names, holds indexdef.dbf.
std::string CheckInstallation(const PathVars& p);

// The backup BACKZIP made in the current folder: the batch file ended with 0, and
// ARCHIVE.zip reads back whole and holds every file of the folder that "*.db*" names.
std::string CheckBackup(const BackupResult& backup);

// Every file the update will replace or pack can be opened exclusively now: the
// catalogue, the tables (and memo files) that the update definition in the archive
// names (source folder + archive_base + ".zip"; skipped when it cannot be read, since
// unpacking reports that), the tables whose catalogue rows ask for a pack, and cqass.
std::string CheckNothingHeld(const PathVars& p, const std::string& archive_base);

// The files (relative to the installation folder, the current folder) that an update
// with these update definition rows replaces or packs: the catalogue, each table of the
// rows with its memo file, the tables whose catalogue rows ask for a pack, and cqass.
std::vector<std::string> FilesTheUpdateChanges(const std::vector<UpdateDefinitionRow>& rows);

// The files of the list (names within `folder`, which is "" or ends in a separator)
// that exist and that another program holds open now (they cannot be opened
// exclusively): their names upper-cased, each once, in list order.
std::vector<std::string> FilesHeldElsewhere(const std::string& folder,
                                            const std::vector<std::string>& files);

// Names joined as "A", "A and B", "A, B and C".
std::string ListOf(const std::vector<std::string>& names);

}  // namespace px

#endif  // PX_APP_DRIVER_UPDATE_CHECKS_H_
