// Rebuilding every index of an installation from its catalogue, as the update does,
// with the progress and the problems printed.
#ifndef PX_TOOLS_PXDB_CATALOGUE_REBUILD_H_
#define PX_TOOLS_PXDB_CATALOGUE_REBUILD_H_

#include "tools/pxdb/command.h"
#include "tools/pxdb/installation.h"

namespace px::pxdb {

// Runs INIT_IDX (no table emptied; tables packed where the catalogue asks for it only
// when `pack`) in the session's folder. The progress texts and the
// messages come out on the session's console as they are shown; then every error raised
// and every catalogue record whose index the rebuild passed over (NOINDEX) although it
// is missing get a line on io.out. Returns the number of problems: message boxes shown,
// errors raised and such records.
int RebuildCatalogueIndexes(InstallationSession& session, Io& io, bool pack);

}  // namespace px::pxdb

#endif  // PX_TOOLS_PXDB_CATALOGUE_REBUILD_H_
