// The process-wide registry of work areas and the commands that select, open and close
// them.
//
// Area numbers run from 1 to 65535; number 0 is never an area, and selecting it selects
// the lowest free area. The current number may name an empty slot. Aliases are
// process-wide: a name is normalised by upper-casing a to z and cutting it at the first
// blank or tab and at 63 characters, so look-up ignores letter case.
//
// Like every command of the engine, these act on the current area and report failures
// through the process error handler (runtime/error.h), never by throwing.
#ifndef PX_ENGINE_WORKAREA_REGISTRY_H_
#define PX_ENGINE_WORKAREA_REGISTRY_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/workarea/work_area.h"
#include "runtime/value.h"

namespace px {

// The work area in the current slot, or nullptr when the slot is empty.
WorkArea* CurrentArea();
// The current area, or nullptr after raising "DBCMD" 35/2001 "Workarea not in use" for
// the operation (with default allowed).
WorkArea* CurrentAreaOrRaise(const char* operation);
// The current area number.
uint16_t CurrentAreaNumber();
// The work area of a number, or nullptr.
WorkArea* AreaByNumber(uint16_t number);
// Open areas in ascending area number.
std::vector<WorkArea*> OpenAreas();
// The area number an alias is registered for, 0 when none (no error raised).
uint16_t AliasArea(std::string_view alias);
// The normalised form of an alias.
std::string NormalizeAlias(std::string_view alias);

// Alias registration, used by drivers when they open and close: registration of an
// alias already in use fails.
bool RegisterAlias(std::string_view alias, uint16_t area);
void UnregisterAlias(std::string_view alias);

// Resolves an alias as alias->field and DBSELECTAREA do (digits and A..K select by
// number), raising "BASE" 15/1002 "Alias does not exist" with retry while it cannot be
// resolved. Returns the area number, or 0 when the handler gave up.
uint16_t ResolveAlias(std::string_view alias);

// DBSELECTAREA: a number, or a text that is a number, a single letter A..K (M selects
// the lowest free area) or an alias.
void DBSELECTAREA(const Value& area);
inline void DBSELECTAREA(int number) {
  DBSELECTAREA(Value::Integer(number));
}
inline void DBSELECTAREA(std::string_view text) {
  DBSELECTAREA(Value::String(std::string(text)));
}

// SELECT(): the current number. SELECT(text): the number of a letter A..K or of an
// open alias, 0 when none; never raises and never changes the selection.
int SELECT();
int SELECT(const Value& alias);
inline int SELECT(std::string_view alias) {
  return SELECT(Value::String(std::string(alias)));
}
// The alias of an area (default: the current one), "" when empty.
std::string ALIAS(int area = 0);
bool USED();

// Opens a table into an area. driver: empty for the default driver. alias: empty for the
// file's base name. shared: unset for the opposite of the exclusive setting. read_only:
// unset for false. Returns true when the table is open (NETERR() tells a sharing
// failure).
bool DBUSEAREA(bool new_area, std::string_view driver, std::string_view file,
               std::string_view alias = {}, std::optional<bool> shared = std::nullopt,
               std::optional<bool> read_only = std::nullopt, std::string_view code_page = {});

// Sets up a work area of the named driver (empty: the default driver) in the current
// slot, the lowest free one when the current number is 0, and makes it current. The
// area holds no table yet. nullptr for an unknown driver (no error raised). Used by the
// structure operations, which create tables in areas of their own.
WorkArea* NewAreaInCurrentSlot(std::string_view driver);
// Removes the area in the current slot from the registry and destroys it, without
// closing its table (call Close first). The current number stays.
void ReleaseCurrentArea();

void DBCLOSEAREA();
void DBCLOSEALL();
void DBCOMMIT();
void DBCOMMITALL();

// Reads a field of the area an alias names (alias->field); the aliases M, MEMV, MEMVA
// and MEMVAR read a memory variable and FIEL, FIELD the current area. A missing field
// raises "BASE" 14/1003 with retry.
Value AliasFieldGet(std::string_view alias, std::string_view field);
// Writes alias->field; returns the value written.
Value AliasFieldPut(std::string_view alias, std::string_view field, const Value& value);

// The 1-based position of a field of an area (name upper-cased, trailing blanks removed,
// cut to 10 characters), 0 when absent or when area is nullptr.
uint16_t FieldPosition(WorkArea* area, std::string_view name);

// Closes every area and forgets every alias (tests).
void ResetWorkAreasForTesting();

}  // namespace px

#endif  // PX_ENGINE_WORKAREA_REGISTRY_H_
