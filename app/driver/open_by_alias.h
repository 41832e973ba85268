// Opening the tables of the backup and the repairs by alias.
#ifndef PX_APP_DRIVER_OPEN_BY_ALIAS_H_
#define PX_APP_DRIVER_OPEN_BY_ALIAS_H_

#include <string_view>

namespace px {

// True when the current folder holds the table catalogue indexdef.dbf.
bool CatalogueHere();

// OPNALIAS with the table's indexes, when the current folder has a catalogue. Without
// one no table can be found by alias: false at once, without the run-time errors that
// opening a missing catalogue would raise (an installation may have none before its
// first update ships one).
bool OpenByAlias(std::string_view alias, bool exclusive);

}  // namespace px

#endif  // PX_APP_DRIVER_OPEN_BY_ALIAS_H_
