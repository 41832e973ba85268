// Process-wide memory variables: named Values found without regard to letter case.
//
// The update driver creates its variables (window, font, path variables, progress
// text) here; the expression evaluator and text substitution read them by name.
#ifndef PX_RUNTIME_MEMVARS_H_
#define PX_RUNTIME_MEMVARS_H_

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/value.h"

namespace px {

class MemVars {
 public:
  // The variable's value, or nullptr when there is no variable of that name.
  Value* Find(std::string_view name);
  const Value* Find(std::string_view name) const;
  bool Exists(std::string_view name) const { return Find(name) != nullptr; }
  // Creates the variable or changes its value.
  void Set(std::string_view name, Value value);
  // Removes the variable; false when there was none.
  bool Release(std::string_view name);
  void Clear() { vars_.clear(); }
  // Every variable as (name as first created, value), in name order.
  std::vector<std::pair<std::string, Value>> List() const;

 private:
  struct Entry {
    std::string name;
    Value value;
  };
  static std::string Key(std::string_view name);
  std::map<std::string, Entry> vars_;
};

MemVars& GetMemVars();

// Creates variables for the life of the object and releases them afterwards, as the
// driver's private variables live exactly as long as the routine that made them. A
// variable of the same name that existed before is hidden meanwhile and comes back.
class ScopedMemVars {
 public:
  ScopedMemVars() = default;
  ~ScopedMemVars();
  ScopedMemVars(const ScopedMemVars&) = delete;
  ScopedMemVars& operator=(const ScopedMemVars&) = delete;
  void Create(std::string_view name, Value value = Value());

 private:
  struct Saved {
    std::string name;
    bool existed;
    Value previous;
  };
  std::vector<Saved> saved_;
};

}  // namespace px

#endif  // PX_RUNTIME_MEMVARS_H_
