// What an update would do to an installation, worked out without changing anything.
//
// The update archive is read with the installer's password (every entry checked against
// its CRC) and the shipped tables' structures are taken from it in memory. For every row
// of updatdef the installed table is read, shared and read-only, and each record the
// migration would carry (those not marked deleted) is put through the same field
// encoding the migration's append uses, so that every value the update would cut, turn
// to asterisks or lose is found with its record number.
#ifndef PX_TOOLS_PXDB_UPDATE_PREVIEW_H_
#define PX_TOOLS_PXDB_UPDATE_PREVIEW_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/dbf/dbf_format.h"

namespace px::pxdb {

// How many record numbers a loss lists.
inline constexpr size_t kFirstRecords = 10;

struct FieldChange {
  // "added", "dropped", "widened", "narrowed", "decimals changed" or "type changed".
  std::string change;
  std::string field;
  DbfField before;  // empty for "added"
  DbfField after;   // empty for "dropped"
};

struct ValueLoss {
  std::string field;
  // "cut" (text cut or number rounded to the new field), "asterisks" (a number too wide
  // for the new field) or "lost" (field dropped, or its type changed so that the value
  // cannot be carried).
  std::string kind;
  uint64_t count = 0;
  std::vector<uint32_t> records;  // the first kFirstRecords record numbers
};

struct TablePreview {
  std::string name;
  bool rebuilt = false;    // false: the shipped table is copied in
  bool installed = false;  // the installation has the table now
  uint32_t records = 0;    // records the installed table holds now (deleted ones too)
  uint32_t carried = 0;    // records a rebuild carries over (not marked deleted)
  uint32_t brings = 0;     // records of the shipped table
  std::vector<FieldChange> changes;
  std::vector<ValueLoss> losses;
  std::string problem;  // why the update would fail on this table, "" when it would not
};

struct CatalogueChange {
  // "new alias", "alias dropped", "new index", "index dropped", "key changed",
  // "path differs" (the installed path is kept by the update).
  std::string change;
  std::string alias;
  std::string index;
  std::string before;
  std::string after;
};

struct ProgramFile {
  std::string name;
  bool replaces = false;  // a file of that name is installed now
};

struct UpdatePreview {
  std::string archive;
  int entries = 0;
  std::vector<TablePreview> tables;
  bool catalogue_shipped = false;
  std::vector<CatalogueChange> catalogue;
  // Files the update would replace or pack that another workstation holds open now.
  std::vector<std::string> in_use;
  std::vector<ProgramFile> program_files;
  uint64_t values_lost = 0;  // the sum of every loss
  // True when the update would apply with no value lost, nothing in use, no problem.
  bool Clean() const;
};

// Works out the preview of the update archive (host or DOS path) for the installation
// in the current folder. False with the reason in *error when the archive cannot be
// read whole or holds no updatdef.
bool PreviewUpdate(const std::string& archive, UpdatePreview* preview, std::string* error);

}  // namespace px::pxdb

#endif  // PX_TOOLS_PXDB_UPDATE_PREVIEW_H_
