// Helpers for the data helper tests: writing a table catalogue and small tables.
#ifndef PX_TESTS_APP_DATA_CATALOGUE_BUILDER_H_
#define PX_TESTS_APP_DATA_CATALOGUE_BUILDER_H_

#include <string>
#include <vector>

namespace px::test {

// One catalogue record.
struct CatalogueRow {
  std::string alias{};  // stored as given (the catalogue holds upper-case aliases)
  std::string name{};   // table file name without extension
  std::string index{};  // index file name without extension, "" for none
  std::string key{};    // key expression text
  std::string path{};   // folder ending with "\", "" for the current folder
  bool pack = false, zap = false, lib = false, noindex = false;
  bool multi = false, unique = false, floppy = false;
};

struct CatalogueOptions {
  bool noindex_field = true;   // the catalogue has the optional NOINDEX field
  bool build_index = true;     // indexdef.ntx is built from DB_ALIAS
  std::vector<int> deleted{};  // record numbers marked deleted
};

// Writes indexdef.dbf (and indexdef.ntx) in the current folder. Leaves no area open
// and the current area number unchanged.
void WriteCatalogue(const std::vector<CatalogueRow>& rows, const CatalogueOptions& options = {});

// Writes a table with the fields NAME C10 and CODE N5; record i gets names[i] and the
// code i + 1. The records listed in `deleted` are marked deleted.
void WriteTable(const std::string& file, const std::vector<std::string>& names,
                const std::vector<int>& deleted = {});

// The record count of a table file, deleted records included.
int RecordCount(const std::string& file);

// Builds an index on a table directly from its key text, as `pxdb index` does.
void BuildIndexDirectly(const std::string& table, const std::string& bag, const std::string& key);

}  // namespace px::test

#endif  // PX_TESTS_APP_DATA_CATALOGUE_BUILDER_H_
