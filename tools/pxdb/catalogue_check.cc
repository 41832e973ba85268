#include "tools/pxdb/catalogue_check.h"

#include <utility>

#include "app/data/catalogue_fields.h"
#include "engine/ntx/ntx_area.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "tools/pxdb/index_access.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

// One visible catalogue record.
struct Row {
  std::string alias;
  std::string table;  // DB_NAME
  std::string index;  // IN_NAME, empty when the record names none
  std::string key;    // IN_STR
  std::string path;   // PATH
  bool multi = false;
};

// A table with the catalogue records that name it, in record order.
struct TableRows {
  std::string folder;  // where its files lie, as opened
  std::string name;    // DB_NAME
  std::string alias;   // of its first record
  std::vector<Row> rows;
};

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

bool IsAbsolute(const std::string& path) {
  return HasDrive(path) || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

// The folder of a record's files: PATH relative to the installation folder.
std::string TableFolder(const std::string& folder, const Row& row) {
  if (row.multi || row.path.empty()) return folder;
  if (IsAbsolute(row.path) || folder.empty()) return row.path;
  std::string path = row.path;
  const bool dos = IsDosFolder(folder);
  if (!dos) {
    for (char& c : path) {
      if (c == '\\') c = '/';
    }
  }
  if (path.back() != '/' && path.back() != '\\') path += dos ? '\\' : '/';
  return FileInFolder(folder, path);
}

class Checker {
 public:
  Checker(std::string folder, bool shared) : folder_(std::move(folder)), shared_(shared) {}

  CatalogueReport Run() {
    std::vector<Row> rows;
    if (!ReadCatalogue(&rows)) return std::move(report_);
    std::vector<TableRows> tables;
    for (Row& row : rows) {
      const std::string dir = TableFolder(folder_, row);
      TableRows* t = nullptr;
      for (TableRows& existing : tables) {
        if (existing.folder == dir && UpperText(existing.name) == UpperText(row.table)) {
          t = &existing;
        }
      }
      if (t == nullptr) t = &tables.emplace_back(TableRows{dir, row.table, row.alias, {}});
      t->rows.push_back(std::move(row));
    }
    for (const TableRows& t : tables) CheckTable(t);
    return std::move(report_);
  }

 private:
  void Fault(std::string line) { report_.faults.push_back(std::move(line)); }

  std::string Reason(const char* otherwise) const {
    return session_.failed() ? session_.FirstError() : std::string(otherwise);
  }

  bool ReadCatalogue(std::vector<Row>* rows) {
    const std::string file = FileInFolder(folder_, std::string(kCatalogueFile) + ".dbf");
    if (!GetEnv()->FileExists(file)) {
      Fault("indexdef: the catalogue " + file + " is missing");
      return false;
    }
    session_.Clear();
    DBSELECTAREA(0);
    if (!DBUSEAREA(false, "", file, kCatalogueAlias, shared_, true)) {
      Fault("indexdef: " + file + " cannot be opened: " + Reason("open failed"));
      return false;
    }
    bool usable = true;
    for (const char* field : {"DB_ALIAS", "DB_NAME", "IN_NAME", "IN_STR", "PATH"}) {
      if (FIELDPOS(field) == 0) {
        Fault(std::string("indexdef: the catalogue has no field ") + field);
        usable = false;
      }
    }
    for (const char* field : {"PACK", "ZAPONINIT", "LIB", "MULTI", "UNIQUE", "FLOPPY"}) {
      if (FIELDPOS(field) == 0) {
        Fault(std::string("indexdef: the catalogue has no field ") + field);
      }
    }
    if (usable) {
      CheckIndex("indexdef", FileInFolder(folder_, std::string(kCatalogueFile)),
                 std::string(kCatalogueKeyText));
      ORDLISTCLEAR();
      const uint32_t count = RECCOUNT();
      for (uint32_t recno = 1; recno <= count; ++recno) {
        DBGOTO(recno);
        if (DELETED()) continue;
        Row row;
        row.alias = CatalogueText("DB_ALIAS");
        row.table = CatalogueText("DB_NAME");
        row.index = CatalogueText("IN_NAME");
        row.key = CatalogueText("IN_STR");
        row.path = CatalogueText("PATH");
        row.multi = CatalogueFlag("MULTI");
        const std::string where = "indexdef record " + std::to_string(recno);
        if (row.alias.empty()) {
          Fault(where + ": no alias (DB_ALIAS is empty)");
        } else if (row.table.empty()) {
          Fault(Lower(row.alias) + ": " + where + " names no table (DB_NAME is empty)");
        } else if (!row.index.empty() && row.key.empty()) {
          Fault(Lower(row.alias) + ": " + where + " names the index " + row.index +
                " without a key expression (IN_STR is empty)");
        } else {
          rows->push_back(std::move(row));
        }
      }
    }
    DBCLOSEAREA();
    if (session_.failed()) Fault("indexdef: " + session_.FirstError());
    return usable;
  }

  void CheckTable(const TableRows& t) {
    ++report_.tables;
    const std::string alias = Lower(t.alias);
    const std::string file = FileInFolder(t.folder, t.name + ".dbf");
    if (!GetEnv()->FileExists(file)) {
      Fault(alias + ": the table " + file + " is missing");
      return;
    }
    session_.Clear();
    DBSELECTAREA(0);
    if (!DBUSEAREA(false, "", file, t.alias, shared_, true)) {
      Fault(alias + ": the table " + file + " cannot be opened: " + Reason("open failed"));
      DBCLOSEAREA();
      return;
    }
    report_.records += RECCOUNT();
    for (const Row& row : t.rows) {
      if (row.index.empty()) continue;
      CheckIndex(alias, FileInFolder(t.folder, row.index), row.key);
    }
    DBCLOSEAREA();
  }

  // Checks one index file of the table in the current area.
  void CheckIndex(const std::string& alias, const std::string& index, const std::string& key) {
    ++report_.indexes;
    const std::string file = index + ".ntx";
    const std::string prefix = Lower(alias) + ": the index " + file;
    if (!GetEnv()->FileExists(file)) {
      Fault(prefix + " is missing");
      return;
    }
    auto* area = dynamic_cast<NtxArea*>(CurrentArea());
    if (area == nullptr) {
      Fault(prefix + ": the table's driver has no orders");
      return;
    }
    ORDLISTCLEAR();
    session_.Clear();
    ORDLISTADD(index);
    if (area->order_count() != 1) {
      ntx::VerifyReport report = VerifyIndexFile(index);
      Fault(prefix + " cannot be opened: " + Reason("it is not an index file"));
      for (const std::string& p : report.problems) Fault(prefix + ": " + p);
      return;
    }
    ntx::Order& order = *area->order(1);
    if (UpperText(TrimRight(order.spec.key_text)) != UpperText(key)) {
      Fault(prefix + " has the key " + order.spec.key_text + " where the catalogue says " + key);
    }
    const ntx::VerifyReport report = area->CheckOrder(order);
    for (const std::string& p : report.problems) Fault(prefix + ": " + p);
    report_.keys += report.keys;
    ORDLISTCLEAR();
  }

  const std::string folder_;
  const bool shared_;
  EngineSession session_;
  CatalogueReport report_;
};

}  // namespace

CatalogueReport CheckCatalogue(const std::string& folder, bool shared) {
  Checker checker(folder, shared);
  return checker.Run();
}

std::vector<std::string> UnbuiltMissingIndexes(const std::string& folder) {
  std::vector<std::string> lines;
  EngineSession session;
  DBSELECTAREA(0);
  const std::string file = FileInFolder(folder, std::string(kCatalogueFile) + ".dbf");
  if (!DBUSEAREA(false, "", file, kCatalogueAlias, true, true)) return lines;
  if (FIELDPOS("NOINDEX") != 0) {
    const uint32_t count = RECCOUNT();
    for (uint32_t recno = 1; recno <= count; ++recno) {
      DBGOTO(recno);
      if (DELETED() || !CatalogueFlag("NOINDEX")) continue;
      Row row;
      row.alias = CatalogueText("DB_ALIAS");
      row.index = CatalogueText("IN_NAME");
      row.path = CatalogueText("PATH");
      row.multi = CatalogueFlag("MULTI");
      if (row.alias.empty() || row.index.empty()) continue;
      const std::string index = FileInFolder(TableFolder(folder, row), row.index) + ".ntx";
      if (GetEnv()->FileExists(index)) continue;
      lines.push_back(Lower(row.alias) + ": the index " + index +
                      " is missing and NOINDEX keeps the rebuild from making it");
    }
  }
  DBCLOSEAREA();
  return lines;
}

}  // namespace px::pxdb
