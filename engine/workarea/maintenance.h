// Table maintenance on the current work area: packing and emptying a table.
//
// Both need the table opened exclusive and writable; the table layer raises 37/1023
// "Exclusive required" or 39/1025 "Write not allowed" otherwise, and nothing changes.
// Both ignore the deleted setting. The layers of the table driver each add their step
// (the index layer rebuilds or empties its orders once the table file layer succeeded).
// DBCOMMITALL, which flushes every open area, is in registry.h.
#ifndef PX_ENGINE_WORKAREA_MAINTENANCE_H_
#define PX_ENGINE_WORKAREA_MAINTENANCE_H_

#include <memory>

#include "runtime/value.h"

namespace px {

// __DBPACK (C++ reserves names with two leading underscores): removes the records
// marked deleted from the table in the current area, moving the live ones down; the
// area ends on its first record. With a block, the block is evaluated without
// arguments after every `interval` records visited (a non-number, 0 or less counts as
// 1) and once more at the end; without one the area's progress callback is cleared.
// No table in the current area raises "DBCMD" 35/2001 "Workarea not in use"
// ("__DBPACK"). True when the table was packed.
bool DBPACK(std::shared_ptr<const CodeBlock> block = nullptr, const Value& interval = Value());

// __DBZAP: removes every record of the table in the current area and resets its memo
// file to the header block; the area ends past the end of the empty table. No table
// raises 35/2001 ("__DBZAP"). True when the table was emptied.
bool DBZAP();

}  // namespace px

#endif  // PX_ENGINE_WORKAREA_MAINTENANCE_H_
