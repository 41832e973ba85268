// OPNALIAS: opening a table by its alias through the catalogue.
//
// The working variables THEPATH, IND1..IND7 and CURR_REC live for one call (OPNIDX
// fills the IND variables). The catalogue is opened shared for the look-up and closed
// again afterwards, unless the table asked for is the catalogue itself.
#include <cstdint>

#include "app/data/catalogue.h"
#include "app/data/catalogue_fields.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "runtime/process_state.h"
#include "ui/messages.h"

namespace px {

namespace {

// Longest look-up key: the length of a file name.
constexpr size_t kKeyLength = 8;

// What one look-up decides besides its result.
struct Lookup {
  std::string alias;  // upper-cased, blanks removed
  std::string key;    // the catalogue key looked up
  bool exclusive = false;
  bool use_indexes = true;
  std::optional<std::string> sub_folder;
  int64_t curr_rec = -1;  // record to return to, -1 for the first
};

void ShowNotInCatalogue(const std::string& alias) {
  MSGALERT("Unable to open " + alias.substr(0, kKeyLength) + ". Try rebuilding index files.");
}

// The folder of the table on the catalogue record: its PATH, a sub-folder of it, a
// per-user folder of it, or the network data folder.
std::string TableFolder(const Lookup& lookup) {
  std::string path = CatalogueText("PATH");
  if (lookup.sub_folder.has_value() && !lookup.sub_folder->empty()) path += *lookup.sub_folder;
  if (CatalogueFlag("UNIQUE")) {
    // The installer never sets up user security: _SECURITY and _USER do not exist and
    // read as false and "", so the table lies in PATH. A user folder is only added
    // when there is a user name (an empty one would make "\" the root folder).
    if (MemVarFlag("_SECURITY")) {
      const std::string user = TrimRight(MemVarText("_USER"));
      if (!user.empty()) path += user + "\\";
    }
  } else if (CatalogueFlag("MULTI")) {
    path = MemVarText("_NETWORK");
    const char last = path.empty() ? '\\' : path.back();
    if (last != '\\' && last != '/' && last != ':') path += "\\";
  }
  return path;
}

// Steps up to the opening of the table; returns the result. The catalogue may be left
// open and selected.
bool Open(Lookup& lookup) {
  MemVars& vars = GetMemVars();
  // Only a registered alias counts: SELECT("B") would name area 2 by its letter.
  if (const uint16_t area = AliasArea(lookup.alias); area != 0) {
    DBSELECTAREA(static_cast<int>(area));
    if (!lookup.exclusive) {
      ORDSETFOCUS(1);
      DBGOTOP();
      lookup.curr_rec = RECNO();
      vars.Set("CURR_REC", Value::Integer(lookup.curr_rec));
      return true;
    }
    // Reopened exclusively below, on the record it was on.
    lookup.curr_rec = RECNO();
    DBCLOSEAREA();
  }
  vars.Set("CURR_REC", Value::Integer(lookup.curr_rec));

  // An empty key would match the first catalogue record, whatever table that is.
  if (lookup.key.empty()) {
    ShowNotInCatalogue(lookup.alias);
    return false;
  }
  // A catalogue that another workstation holds exclusively cannot be searched.
  if (!OPNDBF(kCatalogueFile, false, kCatalogueFile) || !DBSEEK(Value::String(lookup.key), false)) {
    ShowNotInCatalogue(lookup.alias);
    return false;
  }

  const std::string path = TableFolder(lookup);
  vars.Set("THEPATH", Value::String(path));
  const std::string file = path + CatalogueText("DB_NAME");
  const std::string checked = file + ".DBF";
  if (!GetEnv()->FileExists(checked)) {
    MSGALERT("Unable to open " + checked + ". File does not exist");
    if (CatalogueFlag("FLOPPY")) MSGALERT("Check floppy is in the correct drive");
    return false;
  }
  // Without indexes IND1..IND7 stay as OPNALIAS created them, empty.
  if (lookup.use_indexes && !CatalogueText("IN_NAME").empty()) {
    if (!OPNIDX(lookup.key, path)) {
      MSGALERT("Unable to Open Index Files");
      return false;
    }
  }
  std::string ind[kMaxAliasIndexes];
  for (int slot = 1; slot <= kMaxAliasIndexes; ++slot) {
    ind[slot - 1] = MemVarText(IndexVariable(slot));
  }
  if (!OPNDBF(file, lookup.exclusive, ind[0], ind[1], ind[2], ind[3], ind[4], lookup.alias, ind[5],
              ind[6])) {
    MSGALERT("Unable to Open (DBF) " + file);
    return false;
  }
  return true;
}

void CloseCatalogue() {
  if (SELECT(kCatalogueAlias) == 0) return;
  DBSELECTAREA(kCatalogueAlias);
  DBCLOSEAREA();
}

}  // namespace

bool OPNALIAS(std::string_view alias, bool exclusive, std::optional<bool> use_indexes,
              std::optional<std::string> sub_folder) {
  ScopedMemVars working;
  working.Create("THEPATH", Value::String(""));
  for (int slot = 1; slot <= kMaxAliasIndexes; ++slot) {
    working.Create(IndexVariable(slot), Value::String(""));
  }
  working.Create("CURR_REC", Value::Integer(-1));

  Lookup lookup;
  int key_length = 0;
  lookup.alias = STRIPSPACE(UpperText(alias), &key_length);
  lookup.key = lookup.alias.substr(0, static_cast<size_t>(key_length));
  lookup.exclusive = exclusive;
  lookup.use_indexes = use_indexes.value_or(true);
  lookup.sub_folder = std::move(sub_folder);
  const int previous_area = SELECT();

  const bool result = Open(lookup);
  if (result) {
    const int opened = SELECT();
    if (ALIAS() != kCatalogueAlias) {
      CloseCatalogue();
      DBSELECTAREA(opened);
    }
    if (lookup.curr_rec != -1) {
      DBGOTO(Value::Integer(lookup.curr_rec));
    } else {
      DBGOTOP();
    }
  } else {
    CloseCatalogue();
    DBSELECTAREA(previous_area);
  }
  return result;
}

}  // namespace px
