// What the index commands of pxdb share: opening a table with one index file as its
// controlling order.
#ifndef PX_TOOLS_PXDB_INDEX_ACCESS_H_
#define PX_TOOLS_PXDB_INDEX_ACCESS_H_

#include <string>

#include "engine/ntx/index_verifier.h"
#include "engine/ntx/ntx_area.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {

// Opens the table read-only and adds the index file as its only order; on failure
// returns nullptr with the reason in *message.
NtxArea* OpenIndexedTable(const std::string& file, const std::string& index,
                          const GlobalOptions& options, EngineSession& session,
                          std::string* message);

// Checks the structure of an index file that does not open as an order, reading it
// directly (".ntx" added when the name has no extension). An empty report when the
// file cannot be opened at all.
ntx::VerifyReport VerifyIndexFile(const std::string& index);

}  // namespace px::pxdb

#endif  // PX_TOOLS_PXDB_INDEX_ACCESS_H_
