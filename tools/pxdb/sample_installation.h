// A generated sample installation: the table catalogue indexdef.dbf with indexdef.ntx,
// every table the catalogue describes, with plausible records, memo texts and every
// index the catalogue names. Tests, the demo and the benchmarks use it.
//
// The scale multiplies the record counts of the tables that grow with a business
// (customers, quotes and their lines and alternatives, the call log): scale 1 gives
// about four thousand records in all, scale 500 about a million quote lines (cqass).
// Scale 0 gives a handful of records per table. Look-up tables (glass and aluminium
// types, staff, users ...) keep their size from scale 1 on.
//
// The data holds what the post-update repairs look for: rows with blank key fields at
// the top of each master table's first index, quote alternatives with all five type
// fields blank, quote lines without a quote code or without a serial number, special
// aluminium types not yet in every category, and a quote data record whose label
// settings are empty.
//
// The output is deterministic: the same scale gives the same bytes in every file,
// except the date of last update in each table header. All numbers come from a
// fixed-seed generator of our own (sample_random.h); no date depends on today.
#ifndef PX_TOOLS_PXDB_SAMPLE_INSTALLATION_H_
#define PX_TOOLS_PXDB_SAMPLE_INSTALLATION_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/workarea/work_area.h"

namespace px::pxdb {

// Scale 300 writes about a million records, 3000 about ten million.
constexpr int kMaxSampleScale = 3000;

struct SampleIndex {
  std::string name;       // index file name without extension
  std::string key;        // key expression text
  bool no_index = false;  // the catalogue row has NOINDEX set
};

// One table of the sample installation and its catalogue rows.
struct SampleTable {
  std::string alias;  // lower case; the catalogue stores it in upper case
  std::string file;   // file name without extension
  std::vector<FieldDef> fields;
  std::vector<SampleIndex> indexes;  // in catalogue order; the first is the main order
  bool pack = false;
  bool zap_on_init = false;
  bool lib = false;
  bool multi = false;
};

// The tables, in catalogue order (the catalogue itself is not among them).
const std::vector<SampleTable>& SampleTables();

// The fields of the catalogue indexdef.
std::vector<FieldDef> CatalogueFields();

struct SampleTableCount {
  std::string alias;
  uint32_t records = 0;  // deleted ones included
  uint32_t deleted = 0;
  int indexes = 0;
};

struct SampleResult {
  std::vector<SampleTableCount> tables;  // the catalogue first
  uint64_t total_records = 0;            // every table but the catalogue
};

// Writes a sample installation into `folder` (a host or DOS path; created when it does
// not exist). Refuses a folder that already holds table files, so that an installation
// is never overwritten. The current work area selection is kept; the areas the
// generator opens are closed again. False with the reason in *error.
bool MakeSampleInstallation(const std::string& folder, int scale, SampleResult* result,
                            std::string* error);

}  // namespace px::pxdb

#endif  // PX_TOOLS_PXDB_SAMPLE_INSTALLATION_H_
