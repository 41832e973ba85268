// Table maintenance on the current work area: packing and emptying a table.
//
// Both need the table opened exclusive and writable; the table layer raises 37/1023
// "Exclusive required" or 39/1025 "Write not allowed" otherwise, and nothing changes.
// Both ignore the deleted setting. The layers of the table driver each add their step
// (the index layer rebuilds or empties its orders once the table file layer succeeded).
// DBCOMMITALL, which flushes every open area, is in registry.h.
//
// A pack writes the packed table to a copy beside it and puts the copy in the table's
// place in one rename (engine/dbf/dbf_area.h): whatever stops it, the table's name holds
// the whole old table or the whole packed one. It needs room for that copy.
#ifndef PX_ENGINE_WORKAREA_MAINTENANCE_H_
#define PX_ENGINE_WORKAREA_MAINTENANCE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/value.h"

namespace px {

// What a pack does besides dropping the records marked deleted. Record numbers are
// those before the pack; fields are numbered from 1.
struct PackPlan {
  std::vector<uint32_t> drop;  // more records to drop (record numbers, any order)
  struct Put {
    uint32_t recno;
    uint16_t field;  // 1-based field position
    Value value;
  };
  // Values stored into kept records as they are copied, in this order (a later put to
  // the same field wins): the bytes FIELDPUT would store. Puts to records that are
  // dropped do nothing. Memo fields cannot be planned.
  std::vector<Put> puts;
  // Runs once the packed copy is whole on disk, before it replaces the table, with the
  // copy's file name (as the Env names it); returning false abandons the pack and leaves
  // the table as it was. Not called when there was nothing to pack.
  std::function<bool(const std::string& packed_file)> before_replace;
};

// __DBPACK (C++ reserves names with two leading underscores): removes the records
// marked deleted from the table in the current area, the live ones keeping their order;
// the area ends on its first record. With a block, the block is evaluated without
// arguments after every `interval` records visited (a non-number, 0 or less counts as
// 1) and once more at the end; without one the area's progress callback is cleared.
// No table in the current area raises "DBCMD" 35/2001 "Workarea not in use"
// ("__DBPACK"). True when the table was packed.
bool DBPACK(std::shared_ptr<const CodeBlock> block = nullptr, const Value& interval = Value());

// DBPACK with a plan, in the same single step: the plan's records go with the deleted
// ones and its values are stored into the records that stay. With a plan that drops or
// puts anything the table is rewritten even when no record is marked deleted. Before
// anything is written, a plan naming a record number outside the table or a field
// outside the record raises 1/1006 "Argument error", and a put the field cannot hold
// raises the error FIELDPUT would (33/1020 "Data type error", memo fields included;
// 34/1021 "Data width error"); the pack then does nothing and returns false. The
// progress block is as for DBPACK.
bool DBPACKPLAN(const PackPlan& plan, std::shared_ptr<const CodeBlock> block = nullptr,
                const Value& interval = Value());

// __DBZAP: removes every record of the table in the current area and resets its memo
// file to the header block; the area ends past the end of the empty table. No table
// raises 35/2001 ("__DBZAP"). True when the table was emptied.
bool DBZAP();

}  // namespace px

#endif  // PX_ENGINE_WORKAREA_MAINTENANCE_H_
