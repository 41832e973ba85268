// Checks an installation against its table catalogue: the catalogue indexdef.dbf and
// its index indexdef.ntx, then every table a catalogue record names (it exists and
// opens, with its memo file) and every index file (it exists, opens as an index, its
// key expression is the catalogue's, and its keys agree with the table's records, as
// NtxArea::CheckOrder compares them).
#ifndef PX_TOOLS_PXDB_CATALOGUE_CHECK_H_
#define PX_TOOLS_PXDB_CATALOGUE_CHECK_H_

#include <cstdint>
#include <string>
#include <vector>

namespace px::pxdb {

struct CatalogueReport {
  // One line per fault, naming the alias and the file concerned.
  std::vector<std::string> faults;
  int tables = 0;   // tables checked (the catalogue not counted)
  int indexes = 0;  // index files checked (indexdef.ntx included)
  uint64_t records = 0;
  uint64_t keys = 0;

  bool ok() const { return faults.empty(); }
};

// Checks the catalogue of `folder` (empty: the current folder). A record's table lies
// in its PATH (relative to the folder unless absolute), or in the folder itself when
// PATH is empty or MULTI is set (the network folder is not set in this system). Tables
// are opened read-only, shared when `shared`, else exclusively. Deleted catalogue
// records are passed over, as the index rebuild passes them over. Raised errors are
// collected into the faults; nothing is changed on disk.
CatalogueReport CheckCatalogue(const std::string& folder, bool shared);

// The catalogue records of `folder` (empty: the current folder) with NOINDEX set whose
// index file is missing: the index rebuild passes them over, and opening their alias
// then fails for want of the file. One line each, naming the alias and the file
// ("customer: the index custname.ntx is missing and NOINDEX keeps the rebuild from
// making it"). A catalogue without the field NOINDEX, or one that cannot be read, gives
// none.
std::vector<std::string> UnbuiltMissingIndexes(const std::string& folder);

}  // namespace px::pxdb

#endif  // PX_TOOLS_PXDB_CATALOGUE_CHECK_H_
