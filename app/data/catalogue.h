// Opening tables by alias through the table catalogue "indexdef".
//
// The application never opens a data table by file name: it asks for it by alias, and
// OPNALIAS looks the alias up in the catalogue (indexdef.dbf with indexdef.ntx in the
// current folder), which names the table's folder, file and index files. These helpers
// return a logical success, show their own message boxes and never raise.
#ifndef PX_APP_DATA_CATALOGUE_H_
#define PX_APP_DATA_CATALOGUE_H_

#include <optional>
#include <string>
#include <string_view>

namespace px {

// At most this many indexes are opened with a table; further catalogue records of its
// alias are ignored.
inline constexpr int kMaxAliasIndexes = 7;

// The text without any blanks. *position (when given and 0) becomes the length of the
// text before its first blank, or 8 when the text has no blank.
std::string STRIPSPACE(std::string_view text, int* position = nullptr);

// Opens the table of an alias, shared or exclusive, with its indexes (use_indexes unset
// means true), in an optional sub-folder of its catalogue folder. The look-up key is
// the upper-cased alias cut at its first blank, or to 8 characters. An alias already
// open is reused (shared: first order, first record) or closed and reopened
// exclusively on the record it was on. True when the table is open, selected and
// positioned (its first index controlling); the catalogue is closed again unless the
// table is the catalogue itself. False after showing the reason in a message box, with
// the previously current area selected.
//
// MULTI tables lie in the folder _NETWORK. UNIQUE tables lie in PATH + _USER + ""
// when _SECURITY is true; the installer defines neither variable, and a missing one
// reads as false or "" (no error is raised), so they lie in PATH.
bool OPNALIAS(std::string_view alias, bool exclusive,
              std::optional<bool> use_indexes = std::nullopt,
              std::optional<std::string> sub_folder = std::nullopt);

// Opens a table file (folder and name, no extension) into the lowest free area with up
// to 11 attempts a second apart, then its indexes (empty names add nothing). The alias,
// when given, replaces the file's base name. True when open and selected.
bool OPNDBF(std::string_view file, bool exclusive, std::string_view i1 = {},
            std::string_view i2 = {}, std::string_view i3 = {}, std::string_view i4 = {},
            std::string_view i5 = {}, std::optional<std::string> alias = std::nullopt,
            std::string_view i6 = {}, std::string_view i7 = {});

// The name of the memory variable of index slot 1..7 ("IND1".."IND7").
std::string IndexVariable(int slot);

// Fills IND1..IND7 from the catalogue records of an alias (the catalogue positioned on
// its first record); false at the first index file that does not exist.
bool OPNIDX(std::string_view key, std::string_view folder);

// Shows a message: a 2-second wait window captioned "Information" when seconds > 0,
// else an information box.
void STATDSPW(std::string_view message, double seconds = 0);

}  // namespace px

#endif  // PX_APP_DATA_CATALOGUE_H_
