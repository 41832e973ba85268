#include "engine/expr/workarea_context.h"

#include <string>

#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"
#include "runtime/process_state.h"

namespace px::expr {

namespace {

constexpr size_t kFieldNameLength = 10;

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameFieldName(std::string_view name, const std::string& field) {
  if (name.size() > kFieldNameLength) name = name.substr(0, kFieldNameLength);
  if (name.size() != field.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (Upper(name[i]) != Upper(field[i])) return false;
  }
  return true;
}

int FindField(WorkArea* area, std::string_view name, int hint) {
  uint16_t count = 0;
  if (area == nullptr || !area->FieldCount(&count)) return 0;
  std::string field;
  if (hint > 0 && hint <= count && area->FieldName(static_cast<uint16_t>(hint), &field) &&
      SameFieldName(name, field)) {
    return hint;
  }
  for (uint16_t i = 1; i <= count; ++i) {
    if (area->FieldName(i, &field) && SameFieldName(name, field)) return i;
  }
  return 0;
}

}  // namespace

int WorkAreaContext::FieldIndex(std::string_view name, int hint) {
  return FindField(CurrentArea(), name, hint);
}

void WorkAreaContext::FieldValue(int index, Value* out) {
  WorkArea* area = CurrentArea();
  if (area == nullptr || !area->GetValue(static_cast<uint16_t>(index), out)) *out = Value();
}

EvalContext::AliasStatus WorkAreaContext::AliasField(std::string_view alias, std::string_view field,
                                                     Value* out) {
  uint16_t number = 0;
  if (alias.size() == 1 && Upper(alias[0]) >= 'A' && Upper(alias[0]) <= 'K') {
    number = static_cast<uint16_t>(Upper(alias[0]) - 'A' + 1);
  } else {
    number = AliasArea(alias);
    if (number == 0) return AliasStatus::kNoAlias;
  }
  WorkArea* area = AreaByNumber(number);
  const int index = FindField(area, field, 0);
  if (index == 0) return AliasStatus::kNoField;
  if (!area->GetValue(static_cast<uint16_t>(index), out)) *out = Value();
  return AliasStatus::kOk;
}

uint32_t WorkAreaContext::RecNo() {
  WorkArea* area = CurrentArea();
  uint32_t recno = 0;
  if (area == nullptr || !area->RecNo(&recno)) return 0;
  return recno;
}

bool WorkAreaContext::Deleted() {
  WorkArea* area = CurrentArea();
  bool deleted = false;
  if (area == nullptr || !area->Deleted(&deleted)) return false;
  return deleted;
}

const Value* WorkAreaContext::FindMemVar(std::string_view name) {
  return GetMemVars().Find(name);
}

}  // namespace px::expr
