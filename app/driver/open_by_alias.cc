#include "app/driver/open_by_alias.h"

#include <string>

#include "app/data/catalogue.h"
#include "app/data/catalogue_fields.h"
#include "runtime/directory.h"

namespace px {

bool CatalogueHere() {
  return FILE(Value::String(std::string(kCatalogueFile) + ".dbf"));
}

bool OpenByAlias(std::string_view alias, bool exclusive) {
  return CatalogueHere() && OPNALIAS(alias, exclusive, true);
}

}  // namespace px
