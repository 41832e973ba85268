#include "tests/app/data/catalogue_builder.h"

#include <gtest/gtest.h>

#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "tests/engine/table_util.h"

namespace px::test {

namespace {

// Runs `fill` on a table opened exclusively in a fresh area, then closes it and
// selects the area that was current.
template <typename Fn>
void WithTable(const std::string& file, const std::string& alias, Fn fill) {
  const uint16_t saved = CurrentAreaNumber();
  ASSERT_TRUE(UseTable(file, alias)) << file;
  fill();
  DBCLOSEAREA();
  DBSELECTAREA(static_cast<int>(saved));
}

void Put(const char* field, const Value& value) {
  const int pos = FIELDPOS(field);
  if (pos != 0) FIELDPUT(pos, value);
}

}  // namespace

void WriteCatalogue(const std::vector<CatalogueRow>& rows, const CatalogueOptions& options) {
  std::vector<FieldDef> fields = {
      {"DB_ALIAS", 'C', 10, 0}, {"DB_NAME", 'C', 8, 0}, {"IN_NAME", 'C', 8, 0},
      {"IN_STR", 'C', 100, 0},  {"PATH", 'C', 40, 0},   {"PACK", 'L', 1, 0},
      {"ZAPONINIT", 'L', 1, 0}, {"LIB", 'L', 1, 0},     {"MULTI", 'L', 1, 0},
      {"UNIQUE", 'L', 1, 0},    {"FLOPPY", 'L', 1, 0}};
  if (options.noindex_field) fields.push_back({"NOINDEX", 'L', 1, 0});
  ASSERT_TRUE(CreateTable("indexdef.dbf", fields));
  WithTable("indexdef", "", [&] {
    for (const CatalogueRow& row : rows) {
      ASSERT_TRUE(DBAPPEND());
      Put("DB_ALIAS", Value::String(row.alias));
      Put("DB_NAME", Value::String(row.name));
      Put("IN_NAME", Value::String(row.index));
      Put("IN_STR", Value::String(row.key));
      Put("PATH", Value::String(row.path));
      Put("PACK", Value::Logical(row.pack));
      Put("ZAPONINIT", Value::Logical(row.zap));
      Put("LIB", Value::Logical(row.lib));
      Put("MULTI", Value::Logical(row.multi));
      Put("UNIQUE", Value::Logical(row.unique));
      Put("FLOPPY", Value::Logical(row.floppy));
      Put("NOINDEX", Value::Logical(row.noindex));
    }
    for (int recno : options.deleted) {
      DBGOTO(static_cast<uint32_t>(recno));
      DBDELETE();
    }
    if (options.build_index) DBCREATEINDEX("indexdef", "indexdef->db_alias");
  });
}

void WriteTable(const std::string& file, const std::vector<std::string>& names,
                const std::vector<int>& deleted) {
  ASSERT_TRUE(CreateTable(file + ".dbf", {{"NAME", 'C', 10, 0}, {"CODE", 'N', 5, 0}}));
  WithTable(file, "FILLED", [&] {
    for (size_t i = 0; i < names.size(); ++i) {
      ASSERT_TRUE(DBAPPEND());
      Put("NAME", Value::String(names[i]));
      Put("CODE", Value::Integer(static_cast<int64_t>(i) + 1));
    }
    for (int recno : deleted) {
      DBGOTO(static_cast<uint32_t>(recno));
      DBDELETE();
    }
  });
}

int RecordCount(const std::string& file) {
  int count = -1;
  WithTable(file, "COUNTED", [&] { count = static_cast<int>(RECCOUNT()); });
  return count;
}

void BuildIndexDirectly(const std::string& table, const std::string& bag, const std::string& key) {
  WithTable(table, "", [&] { DBCREATEINDEX(bag, key, nullptr, false); });
}

}  // namespace px::test
