#include "tools/pxdb/update_preview.h"

#include <map>
#include <set>
#include <utility>

#include "app/data/catalogue_fields.h"
#include "app/driver/update_checks.h"
#include "app/driver/update_definition.h"
#include "archive/archive_check.h"
#include "archive/read_entry.h"
#include "archive/zip_errors.h"
#include "engine/dbf/dbf_area.h"
#include "engine/dbf/field_codec.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"
#include "runtime/env.h"
#include "runtime/error.h"

namespace px::pxdb {

namespace {

// A table as the archive ships it, read from its bytes.
struct ShippedTable {
  std::vector<DbfField> fields;
  uint32_t records = 0;
  std::vector<std::string> rows;  // the records not marked deleted (only when asked for)
};

bool ParseTable(const std::string& bytes, bool want_rows, ShippedTable* table) {
  if (bytes.size() < kDbfHeaderSize) return false;
  const DbfHeader header = DecodeDbfHeader(reinterpret_cast<const uint8_t*>(bytes.data()));
  if (!IsAcceptedDbfVersion(header.version)) return false;
  uint32_t offset = 1;
  for (size_t pos = kDbfHeaderSize; pos + kDbfDescriptorSize <= bytes.size();
       pos += kDbfDescriptorSize) {
    if (static_cast<uint8_t>(bytes[pos]) == kDbfTerminator) break;
    DbfField f;
    const DescriptorKind kind = DecodeDbfDescriptor(
        reinterpret_cast<const uint8_t*>(bytes.data() + pos), header.version, &f);
    if (kind == DescriptorKind::kEnd) break;
    if (kind != DescriptorKind::kField) return false;
    f.offset = offset;
    offset += f.len;
    table->fields.push_back(f);
  }
  table->records = header.record_count;
  if (offset > header.record_length) return false;  // fields beyond the record: damaged
  if (!want_rows) return true;
  for (uint32_t r = 0; r < header.record_count; ++r) {
    const size_t start = header.header_length + static_cast<size_t>(r) * header.record_length;
    if (start + header.record_length > bytes.size()) break;
    std::string row = bytes.substr(start, header.record_length);
    if (row[0] != kDbfDeleted) table->rows.push_back(std::move(row));
  }
  return true;
}

const DbfField* FindField(const std::vector<DbfField>& fields, const std::string& name) {
  for (const DbfField& f : fields) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

bool Blank(std::string_view stored) {
  return stored.find_first_not_of(std::string_view(" \0", 2)) == std::string_view::npos;
}

bool IsText(char kind) {
  return kind == 'C' || kind == 'M';
}

// What happens to one value when the append puts it into the new field: nullptr when
// it arrives whole, else the kind of loss.
const char* Fit(WorkArea* area, uint16_t pos, const DbfField& from, const DbfField& to,
                const std::string& record, std::string* buffer) {
  if (Blank(std::string_view(record).substr(from.offset, from.len))) return nullptr;
  if (to.kind == 'M') return IsText(from.kind) ? nullptr : "lost";
  Value v;
  if (!area->GetValue(pos, &v)) return "lost";
  buffer->assign(to.len, ' ');
  switch (EncodeField(to, v, buffer->data())) {
    case EncodeResult::kDataType:
      return "lost";
    case EncodeResult::kDataWidth:
      return to.kind == 'N' ? "asterisks" : "lost";
    case EncodeResult::kOk:
      break;
  }
  const Value back = DecodeField(to, buffer->data());
  if (IsText(from.kind)) return TrimRight(v.str()) == TrimRight(back.str()) ? nullptr : "cut";
  if (v.is_number() && back.is_number()) return v.number() == back.number() ? nullptr : "cut";
  return nullptr;
}

std::vector<FieldChange> StructureChanges(const std::vector<DbfField>& before,
                                          const std::vector<DbfField>& after) {
  std::vector<FieldChange> changes;
  auto note = [&changes](const char* what, const DbfField* was, const DbfField* is) {
    FieldChange c;
    c.change = what;
    c.field = (is != nullptr ? is : was)->name;
    if (was != nullptr) c.before = *was;
    if (is != nullptr) c.after = *is;
    changes.push_back(std::move(c));
  };
  for (const DbfField& n : after) {
    const DbfField* o = FindField(before, n.name);
    if (o == nullptr) {
      note("added", nullptr, &n);
    } else if (o->kind != n.kind) {
      note("type changed", o, &n);
    } else if (n.len > o->len) {
      note("widened", o, &n);
    } else if (n.len < o->len) {
      note("narrowed", o, &n);
    } else if (n.dec != o->dec) {
      note("decimals changed", o, &n);
    }
  }
  for (const DbfField& o : before) {
    if (FindField(after, o.name) == nullptr) note("dropped", &o, nullptr);
  }
  return changes;
}

// Opens an installed table shared and read-only in a new area; nullptr when it cannot
// be opened (the reason in *problem).
WorkArea* OpenInstalled(const std::string& name, const char* alias, std::string* problem) {
  QuietErrors quiet;
  DBSELECTAREA(0);
  if (!DBUSEAREA(false, "", name, alias, true, true)) {
    *problem = "cannot open " + name + ".dbf" +
               (quiet.failed() ? ": " + ERRORMESSAGE(*quiet.first()) : std::string());
    return nullptr;
  }
  return CurrentArea();
}

// Carries every visible record of the installed table over in thought.
void PreviewRebuild(const ShippedTable& shipped, TablePreview* t) {
  WorkArea* area = OpenInstalled(t->name, "PXPREVIEW", &t->problem);
  if (area == nullptr) return;
  std::vector<DbfField> before;
  if (auto* dbf = dynamic_cast<DbfArea*>(area)) before = dbf->fields();
  t->changes = StructureChanges(before, shipped.fields);
  area->RecCount(&t->records);

  // For each field of the installed table: where it goes (nullptr: dropped).
  std::vector<const DbfField*> target(before.size());
  for (size_t i = 0; i < before.size(); ++i) target[i] = FindField(shipped.fields, before[i].name);
  std::string record, buffer;
  std::map<std::pair<size_t, std::string>, ValueLoss> found;
  for (uint32_t r = 1; r <= t->records; ++r) {
    if (!area->GoTo(r) || !area->GetRecord(&record) || record.empty()) {
      t->problem = "cannot read record " + std::to_string(r);
      break;
    }
    if (record[0] == kDbfDeleted) continue;
    ++t->carried;
    for (size_t i = 0; i < before.size(); ++i) {
      const char* kind = nullptr;
      if (target[i] == nullptr) {
        if (!Blank(std::string_view(record).substr(before[i].offset, before[i].len))) {
          kind = "lost";
        }
      } else {
        kind = Fit(area, static_cast<uint16_t>(i + 1), before[i], *target[i], record, &buffer);
      }
      if (kind == nullptr) continue;
      ValueLoss& loss = found[{i, kind}];
      if (loss.count == 0) {
        loss.field = before[i].name;
        loss.kind = kind;
      }
      if (loss.records.size() < kFirstRecords) loss.records.push_back(r);
      ++loss.count;
    }
  }
  DBCLOSEAREA();
  for (auto& [key, loss] : found) t->losses.push_back(std::move(loss));
}

struct CatalogueRow {
  std::string alias, index, key, path;
};

std::vector<CatalogueRow> InstalledCatalogue() {
  std::vector<CatalogueRow> rows;
  std::string problem;
  if (OpenInstalled(std::string(kCatalogueFile), "PXPREVCAT", &problem) == nullptr) return rows;
  for (DBGOTOP(); !EOF_(); DBSKIP(1)) {
    if (DELETED()) continue;
    rows.push_back({UpperText(CatalogueText("DB_ALIAS")), UpperText(CatalogueText("IN_NAME")),
                    CatalogueText("IN_STR"), CatalogueText("PATH")});
  }
  DBCLOSEAREA();
  return rows;
}

std::vector<CatalogueRow> ShippedCatalogue(const ShippedTable& table) {
  std::vector<CatalogueRow> rows;
  auto text = [&table](const std::string& row, const char* name) {
    const DbfField* f = FindField(table.fields, name);
    return f == nullptr || f->kind != 'C'
               ? std::string()
               : TrimRight(std::string_view(row).substr(f->offset, f->len));
  };
  for (const std::string& row : table.rows) {
    rows.push_back({UpperText(text(row, "DB_ALIAS")), UpperText(text(row, "IN_NAME")),
                    text(row, "IN_STR"), text(row, "PATH")});
  }
  return rows;
}

std::vector<CatalogueChange> CatalogueChanges(const std::vector<CatalogueRow>& before,
                                              const std::vector<CatalogueRow>& after) {
  std::map<std::string, std::string> old_paths, new_paths;  // alias -> first row's path
  std::map<std::pair<std::string, std::string>, std::string> old_keys, new_keys;
  for (const CatalogueRow& r : before) {
    old_paths.emplace(r.alias, r.path);
    if (!r.index.empty()) old_keys.emplace(std::make_pair(r.alias, r.index), r.key);
  }
  for (const CatalogueRow& r : after) {
    new_paths.emplace(r.alias, r.path);
    if (!r.index.empty()) new_keys.emplace(std::make_pair(r.alias, r.index), r.key);
  }
  std::vector<CatalogueChange> changes;
  for (const auto& [alias, path] : new_paths) {
    const auto it = old_paths.find(alias);
    if (it == old_paths.end()) {
      changes.push_back({"new alias", alias, "", "", path});
    } else if (it->second != path) {
      changes.push_back({"path differs", alias, "", it->second, path});
    }
  }
  for (const auto& [alias, path] : old_paths) {
    if (new_paths.count(alias) == 0) changes.push_back({"alias dropped", alias, "", path, ""});
  }
  for (const auto& [key, text] : new_keys) {
    if (old_paths.count(key.first) == 0) continue;  // a new alias says enough
    const auto it = old_keys.find(key);
    if (it == old_keys.end()) {
      changes.push_back({"new index", key.first, key.second, "", text});
    } else if (it->second != text) {
      changes.push_back({"key changed", key.first, key.second, it->second, text});
    }
  }
  for (const auto& [key, text] : old_keys) {
    if (new_keys.count(key) == 0 && new_paths.count(key.first) != 0) {
      changes.push_back({"index dropped", key.first, key.second, text, ""});
    }
  }
  return changes;
}

std::string Extension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : UpperText(name.substr(dot));
}

}  // namespace

bool UpdatePreview::Clean() const {
  if (values_lost > 0 || !in_use.empty()) return false;
  for (const TablePreview& t : tables) {
    if (!t.problem.empty()) return false;
  }
  return true;
}

bool PreviewUpdate(const std::string& archive, UpdatePreview* preview, std::string* error) {
  preview->archive = archive;
  std::vector<std::string> entries;
  std::string problem;
  const ArchiveCheck check =
      CheckArchive(archive, kUpdatePassword, [&](const std::string& entry, const std::string& why) {
        if (!why.empty() && problem.empty()) problem = entry.empty() ? why : entry + ": " + why;
        if (!entry.empty()) entries.push_back(entry);
      });
  if (check.failed != 0) {
    *error = archive + " does not read back whole (" + problem + ")";
    return false;
  }
  preview->entries = check.entries;
  std::vector<UpdateDefinitionRow> rows;
  if (!ReadUpdateDefinition(archive, kUpdatePassword, &rows)) {
    *error = archive + " holds no readable update definition updatdef.dbf";
    return false;
  }

  Env* env = GetEnv();
  std::map<std::string, std::string> installed;  // upper-cased name -> name
  std::vector<DirEntry> listing;
  env->ListDir(".", &listing);
  for (const DirEntry& e : listing) {
    if (!e.is_dir) installed[UpperText(e.name)] = e.name;
  }

  for (const UpdateDefinitionRow& row : rows) {
    if (row.name.empty()) continue;
    TablePreview t;
    t.name = row.name;
    const bool is_catalogue = UpperText(row.name) == UpperText(kCatalogueFile);
    std::string bytes;
    ShippedTable shipped;
    const int code = ReadArchiveEntry(archive, row.name + ".dbf", kUpdatePassword, &bytes);
    if (code != 0 || !ParseTable(bytes, is_catalogue, &shipped)) {
      t.problem = row.name + ".dbf cannot be read from the archive" +
                  (code != 0 ? std::string(": ") + ZipErrorText(code) : std::string());
      preview->tables.push_back(std::move(t));
      continue;
    }
    t.brings = shipped.records;
    t.installed = installed.count(UpperText(row.name + ".dbf")) != 0;
    t.rebuilt = !row.bring_recs && t.installed;
    if (t.rebuilt) {
      PreviewRebuild(shipped, &t);
    } else if (t.installed) {
      std::string why;
      if (OpenInstalled(row.name, "PXPREVIEW", &why) != nullptr) {
        t.records = RECCOUNT();
        DBCLOSEAREA();
      }
    }
    if (is_catalogue) {
      preview->catalogue_shipped = true;
      preview->catalogue = CatalogueChanges(InstalledCatalogue(), ShippedCatalogue(shipped));
    }
    for (const ValueLoss& loss : t.losses) preview->values_lost += loss.count;
    preview->tables.push_back(std::move(t));
  }

  // What the update itself checks before it changes anything.
  preview->in_use = FilesHeldElsewhere("", FilesTheUpdateChanges(rows));
  for (const std::string& entry : entries) {
    const std::string ext = Extension(entry), upper = UpperText(entry);
    if (entry.find_first_of("/\\") != std::string::npos) continue;
    if (ext != ".EXE" && ext != ".DLL" && ext != ".BMP") continue;
    if (upper == "KVRZIPDLL.DLL" || upper == "LOGO.BMP" || upper == "LOGOP.BMP") continue;
    preview->program_files.push_back({entry, installed.count(upper) != 0});
  }
  return true;
}

}  // namespace px::pxdb
