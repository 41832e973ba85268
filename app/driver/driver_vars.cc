#include "app/driver/driver_vars.h"

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

bool DebugTraceOn() {
  const Value* v = GetMemVars().Find("LDEBUG");
  return v != nullptr && v->is_logical() && v->logical();
}

std::string TextVar(std::string_view name) {
  const Value* v = GetMemVars().Find(name);
  return v != nullptr && v->is_string() ? v->str() : std::string();
}

void SetTextVar(std::string_view name, std::string value) {
  GetMemVars().Set(name, Value::String(std::move(value)));
}

std::string RTrim(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return std::string(s.substr(0, n));
}

std::string AllTrim(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  return RTrim(s.substr(b));
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

std::string PadRight(std::string_view s, size_t width) {
  std::string out(s);
  if (out.size() < width) out.append(width - out.size(), ' ');
  return out;
}

}  // namespace px
