// Structure operations of the command layer: reading a table's structure, creating a
// table from a structure, and appending the records of another table field by field.
//
// A structure array is a list with one entry per field, in field order; each entry is a
// list {name, type letter, length, decimals} of character, character, number, number.
//
// Errors carry the subsystem "DBCMD" and the operation name ("DBCREATE", "DBAPP");
// errors of the table and memo layers carry the driver's name. All go to the process
// error handler.
#ifndef PX_ENGINE_WORKAREA_STRUCTURE_H_
#define PX_ENGINE_WORKAREA_STRUCTURE_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "runtime/value.h"

namespace px {

// The structure array of the table in the current area: {name, letter, length,
// decimals} per field, with the letters C, N, D, L, M, B and I (F reads as N, 8 as B,
// 2 and 4 as I; a C field gives its full length and 0 decimals). An empty list when the
// current area holds no table.
Value DBSTRUCT();

// Creates a table from a structure array.
//
// The arguments are checked before any file is touched: an empty name, a missing or
// empty structure, or an entry that is not a list of at least four elements whose first
// two are character and last two numbers raise "Argument error" 1014; a one-character
// alias other than "L" or a character after "M" raises "Argument error" 1015.
//
// Each entry's letter (first character, any case) maps to a field: C (length = entry 3 +
// 256 x entry 4, no decimals), N and F (length below 256), D (3 or 8), L (1), M (4 or
// 10), B and 8 (8, decimals kept), I (2, 4 or 8), 2 and 4 (I of that length); negative
// lengths and decimals count as 0. The name is upper-cased and cut at its first blank
// or tab; the table keeps 10 characters. An unknown letter, a blank name, an N length of
// 256 or more or a C length above 65,535 raise "Create error" 1015, and so does an
// unknown driver; nothing is created then.
//
// The table (and its memo file when there is an M field) is created under a scratch
// alias in a work area of its own, not shared, and closed. With new_area unset the
// current area is selected again and the result is true when the files were created.
// With new_area set the table is then opened read-write, shared unless the exclusive
// setting is on, under `alias` (default: the file's base name): in a new free area when
// true, in the current area (whose table is closed first) when false. The result is
// true when it is open; a failed open sets the network-error flag.
bool DBCREATE(std::string_view file, const Value& structure, std::string_view driver = {},
              std::optional<bool> new_area = std::nullopt, std::string_view alias = {},
              std::string_view code_page = {});

// The scope of an append: conditions are blocks evaluated in the source area.
struct AppendScope {
  std::shared_ptr<const CodeBlock> for_condition;    // records appended when true
  std::shared_ptr<const CodeBlock> while_condition;  // the append stops once false
  std::optional<int64_t> next;                       // visit at most this many records
  std::optional<uint32_t> record;                    // only this record
  bool rest = false;                                 // from the current record on
};

// __DBAPP: appends the records of the table file `file` to the table in the current
// area (C++ reserves names with two leading underscores).
//
// The source is opened in a new area under the alias "__TMPAREA", read-only, exclusive
// while the exclusive setting is on. From its first record (or as the scope says),
// every visible record is appended: with the deleted setting on deleted records are
// passed over, with it off they are appended and marked deleted. Each destination field
// takes the value of the source field of the same name. `fields`, a list of field
// names, limits the copy to those destination fields when it is not empty.
//
// Values are not converted between kinds: texts (C, M) go into C and M fields, numbers
// into N, B and I fields, dates into D fields, logicals into L fields; any other pairing
// raises "Data type error" at every record and the field stays blank. Texts are cut to
// a shorter C field; numbers are written to the destination's width and decimals
// (asterisks and "Data width error" when they do not fit). The append goes on after
// such errors.
//
// A non-text `file` does nothing. No table in the current area raises "Workarea not in
// use" 2001; a source that cannot be opened raises "Open error" 0 and "Workarea not in
// use" 2001, and nothing is appended. Returns the number of records appended.
uint32_t DBAPP(const Value& file, const Value& fields = Value(), const AppendScope& scope = {},
               std::string_view driver = {});

}  // namespace px

#endif  // PX_ENGINE_WORKAREA_STRUCTURE_H_
