// DBAPP (the system's __DBAPP): appending the records of a table file.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "engine/workarea/work_area.h"
#include "runtime/dos_path.h"
#include "runtime/error.h"
#include "runtime/settings.h"

namespace px {

namespace {

constexpr const char* kSourceAlias = "__TMPAREA";

Error CommandError(int gen_code, int sub_code) {
  Error e = Error::Make("DBCMD", gen_code, sub_code);
  e.operation = "DBAPP";
  return e;
}

void RaiseNoTable() {
  Error e = CommandError(kErrNoTable, 2001);
  e.can_default = true;
  RaiseError(e);
}

// A field name as the field list gives it: upper case, trailing blanks removed, cut to
// the 10 characters a table keeps.
std::string ListName(const std::string& name) {
  std::string out = name;
  while (!out.empty() && out.back() == ' ') out.pop_back();
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (out.size() > 10) out.resize(10);
  return out;
}

// Pairs each destination field with the source field of the same name; with a field
// list, only the destination fields it names.
std::vector<TransInfo::Field> MatchFields(WorkArea* dest, WorkArea* source,
                                          const Value& field_list) {
  std::vector<std::string> wanted;
  if (field_list.is_array()) {
    for (const Value& v : field_list.array()) {
      if (v.is_string()) wanted.push_back(ListName(v.str()));
    }
  }
  std::vector<TransInfo::Field> out;
  uint16_t count = 0;
  if (!dest->FieldCount(&count)) return out;
  for (uint16_t d = 1; d <= count; ++d) {
    std::string name;
    if (!dest->FieldName(d, &name)) continue;
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), name) == wanted.end()) continue;
    const uint16_t s = FieldPosition(source, name);
    if (s != 0) out.push_back({s, d});
  }
  return out;
}

bool Holds(const std::shared_ptr<const CodeBlock>& condition) {
  if (condition == nullptr) return true;
  const Value v = condition->Eval();
  return v.is_logical() && v.logical();
}

}  // namespace

uint32_t DBAPP(const Value& file, const Value& fields, const AppendScope& scope,
               std::string_view driver) {
  if (!file.is_string()) return 0;
  const uint16_t dest_number = CurrentAreaNumber();
  WorkArea* dest = CurrentArea();
  if (dest == nullptr) {
    RaiseNoTable();
    return 0;
  }

  DBSELECTAREA(0);
  const uint16_t source_number = CurrentAreaNumber();
  WorkArea* source = NewAreaInCurrentSlot(driver);
  if (source == nullptr) {
    DBSELECTAREA(static_cast<int>(dest_number));
    RaiseError(CommandError(kErrArg, 2019));
    RaiseNoTable();
    return 0;
  }
  std::string name = file.str().substr(0, 255);
  std::string folder, base_file, base, ext;
  SplitPath(name, &folder, &base_file);
  SplitExtension(base_file, &base, &ext);
  if (ext.empty()) {
    Value dest_ext;
    name += dest->Info(TableInfo::kTableExt, &dest_ext) && dest_ext.is_string() ? dest_ext.str()
                                                                                : ".dbf";
  }
  OpenInfo info;
  info.area = source_number;
  info.file_name = name;
  info.alias = kSourceAlias;
  info.shared = !GetSettings().exclusive;
  info.read_only = true;
  if (!source->Open(info)) {
    source->Close();
    ReleaseCurrentArea();
    DBSELECTAREA(static_cast<int>(dest_number));
    RaiseError(CommandError(kErrOpen, 0));
    RaiseNoTable();
    return 0;
  }

  TransInfo trans;
  trans.dest = dest;
  trans.fields = MatchFields(dest, source, fields);
  if (scope.record.has_value()) {
    source->GoTo(*scope.record);
  } else if (scope.while_condition == nullptr && !scope.rest && !scope.next.has_value()) {
    source->GoTop();
  }

  // The conditions and the copy run with the source selected, the append with the
  // destination: the registry's current number follows each step.
  uint32_t appended = 0;
  int64_t visited = 0;
  for (;;) {
    bool eof = true;
    source->Eof(&eof);
    if (eof || !Holds(scope.while_condition)) break;
    if (Holds(scope.for_condition)) {
      DBSELECTAREA(static_cast<int>(dest_number));
      const bool ok = source->TransRecord(trans);
      DBSELECTAREA(static_cast<int>(source_number));
      // An append that cannot be made (a read-only table, an append lock refused)
      // fails the same way for every further record.
      if (!ok) break;
      ++appended;
    }
    ++visited;
    if (scope.next.has_value() && *scope.next > 0) {
      if (visited >= *scope.next) break;
    } else if (scope.record.has_value()) {
      break;
    }
    if (!source->Skip(1)) break;
  }

  DBSELECTAREA(static_cast<int>(source_number));
  source->Close();
  ReleaseCurrentArea();
  DBSELECTAREA(static_cast<int>(dest_number));
  return appended;
}

}  // namespace px
