#include "app/driver/driver_vars.h"

#include "app/data/catalogue_fields.h"
#include "runtime/memvars.h"
#include "ui/font.h"
#include "ui/window.h"

namespace px {

namespace {

template <typename T>
std::shared_ptr<T> ObjectVar(std::string_view name) {
  const Value* v = GetMemVars().Find(name);
  if (v == nullptr || !v->is_object()) return nullptr;
  return std::dynamic_pointer_cast<T>(v->object());
}

}  // namespace

std::shared_ptr<TWindow> MainWindowVar() {
  return ObjectVar<TWindow>("OWND");
}

std::shared_ptr<TFont> DriverFontVar() {
  return ObjectVar<TFont>("OFONTW");
}

void SetTextVar(std::string_view name, std::string value) {
  GetMemVars().Set(name, Value::String(std::move(value)));
}

std::string AllTrim(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  return TrimRight(s.substr(b));
}

std::string PadRight(std::string_view s, size_t width) {
  std::string out(s);
  if (out.size() < width) out.append(width - out.size(), ' ');
  return out;
}

}  // namespace px
