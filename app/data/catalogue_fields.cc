#include "app/data/catalogue_fields.h"

#include "engine/workarea/registry.h"
#include "runtime/process_state.h"

namespace px {

namespace {

// The field's value in the current area, nil when there is no such field.
Value CurrentField(std::string_view field) {
  WorkArea* area = CurrentArea();
  const uint16_t pos = FieldPosition(area, field);
  if (pos == 0) return Value();
  Value value;
  if (!area->GetValue(pos, &value)) return Value();
  return value;
}

}  // namespace

std::string TrimRight(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && text[n - 1] == ' ') --n;
  return std::string(text.substr(0, n));
}

std::string UpperText(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string CatalogueText(std::string_view field) {
  const Value value = CurrentField(field);
  return value.is_string() ? TrimRight(value.str()) : std::string();
}

bool CatalogueFlag(std::string_view field) {
  const Value value = CurrentField(field);
  return value.is_logical() && value.logical();
}

std::string MemVarText(std::string_view name) {
  const Value* value = GetMemVars().Find(name);
  return value != nullptr && value->is_string() ? value->str() : std::string();
}

bool MemVarFlag(std::string_view name) {
  const Value* value = GetMemVars().Find(name);
  return value != nullptr && value->is_logical() && value->logical();
}

}  // namespace px
