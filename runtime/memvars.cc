#include "runtime/memvars.h"

#include "runtime/process_state.h"

namespace px {

std::string MemVars::Key(std::string_view name) {
  std::string key(name);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

Value* MemVars::Find(std::string_view name) {
  auto it = vars_.find(Key(name));
  return it == vars_.end() ? nullptr : &it->second.value;
}

const Value* MemVars::Find(std::string_view name) const {
  auto it = vars_.find(Key(name));
  return it == vars_.end() ? nullptr : &it->second.value;
}

void MemVars::Set(std::string_view name, Value value) {
  auto [it, inserted] = vars_.try_emplace(Key(name));
  if (inserted) it->second.name = std::string(name);
  it->second.value = std::move(value);
}

bool MemVars::Release(std::string_view name) {
  return vars_.erase(Key(name)) > 0;
}

std::vector<std::pair<std::string, Value>> MemVars::List() const {
  std::vector<std::pair<std::string, Value>> out;
  out.reserve(vars_.size());
  for (const auto& [key, entry] : vars_) out.emplace_back(entry.name, entry.value);
  return out;
}

ScopedMemVars::~ScopedMemVars() {
  MemVars& vars = GetMemVars();
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    if (it->existed) {
      vars.Set(it->name, std::move(it->previous));
    } else {
      vars.Release(it->name);
    }
  }
}

void ScopedMemVars::Create(std::string_view name, Value value) {
  MemVars& vars = GetMemVars();
  const Value* old = vars.Find(name);
  saved_.push_back({std::string(name), old != nullptr, old != nullptr ? *old : Value()});
  vars.Set(name, std::move(value));
}

}  // namespace px
