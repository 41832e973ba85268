// Reading the table catalogue "indexdef" and the process-wide variables the catalogue
// helpers consult.
//
// The catalogue is a table with one record per index of a table: DB_ALIAS (the alias,
// the key of indexdef.ntx), DB_NAME (table file name), IN_NAME (index file name, empty
// when the record names none), IN_STR (key expression text), PATH (folder of table and
// indexes, ending with "\", empty for the current folder) and the flags PACK,
// ZAPONINIT, LIB, NOINDEX, MULTI, UNIQUE and FLOPPY. Catalogues of older installations
// lack some of the flags; a missing field reads as false or "".
#ifndef PX_APP_DATA_CATALOGUE_FIELDS_H_
#define PX_APP_DATA_CATALOGUE_FIELDS_H_

#include <string>
#include <string_view>

namespace px {

// The catalogue's file name (in the current folder), alias and index key text.
inline constexpr std::string_view kCatalogueFile = "indexdef";
inline constexpr std::string_view kCatalogueAlias = "INDEXDEF";
inline constexpr std::string_view kCatalogueKeyText = "indexdef->db_alias";

// The text without trailing blanks.
std::string TrimRight(std::string_view text);
// The text with a to z upper-cased, as UPPER does.
std::string UpperText(std::string_view text);

// A character field of the current area's record, right-trimmed; "" when the area has
// no table or no field of that name.
std::string CatalogueText(std::string_view field);
// A logical field of the current area's record; false when absent or not logical.
bool CatalogueFlag(std::string_view field);

// A memory variable as text ("" when it does not exist or holds no text) and as a
// logical (false when it does not exist or holds no logical).
std::string MemVarText(std::string_view name);
bool MemVarFlag(std::string_view name);

}  // namespace px

#endif  // PX_APP_DATA_CATALOGUE_FIELDS_H_
