// OPNIDX: the index files of an alias, from its consecutive catalogue records.
#include "app/data/catalogue.h"
#include "app/data/catalogue_fields.h"
#include "engine/workarea/commands.h"
#include "runtime/env.h"
#include "runtime/process_state.h"

namespace px {

std::string IndexVariable(int slot) {
  return "IND" + std::to_string(slot);
}

bool OPNIDX(std::string_view key, std::string_view folder) {
  MemVars& vars = GetMemVars();
  for (int slot = 1; slot <= kMaxAliasIndexes; ++slot) {
    vars.Set(IndexVariable(slot), Value::String(""));
  }
  const uint32_t start = RECNO();
  // The records of one table follow each other in alias order. They are taken while
  // their alias is that of the first record, so that an alias cut to the 8-character
  // look-up key still gets every index of its own (indexes left closed would go stale
  // as the table changes).
  const std::string first_alias = CatalogueText("DB_ALIAS");
  const std::string trimmed_key = TrimRight(key);
  const std::string& same_alias =
      first_alias.compare(0, trimmed_key.size(), trimmed_key) == 0 ? first_alias : trimmed_key;
  bool result = true;
  for (int slot = 1; slot <= kMaxAliasIndexes; ++slot) {
    const std::string in_name = CatalogueText("IN_NAME");
    if (in_name.empty()) break;
    const std::string index = std::string(folder) + in_name;
    vars.Set(IndexVariable(slot), Value::String(index));
    if (!GetEnv()->FileExists(index + ".NTX")) {
      STATDSPW("Index file " + index + ".NTX" + " not found. Try rebuilding index files", 1.5);
      result = false;
      break;
    }
    DBSKIP(1);
    if (EOF_() || CatalogueText("DB_ALIAS") != same_alias) break;
  }
  DBGOTO(start);
  return result;
}

}  // namespace px
