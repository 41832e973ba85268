// A context for evaluator tests: one record of a current table, other tables by alias,
// and the process's memory variables.
#ifndef PX_TESTS_ENGINE_EXPR_FAKE_CONTEXT_H_
#define PX_TESTS_ENGINE_EXPR_FAKE_CONTEXT_H_

#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/expr/eval_context.h"
#include "runtime/error.h"
#include "runtime/process_state.h"

namespace px {
// Values print in their short debugging form in test failures.
inline void PrintTo(const Value& v, std::ostream* os) {
  *os << DebugString(v);
}
}  // namespace px

namespace px::expr::test {

struct FakeRecord {
  std::vector<std::pair<std::string, Value>> fields;
  uint32_t recno = 1;
  bool deleted = false;

  int Find(std::string_view name) const {
    for (size_t i = 0; i < fields.size(); ++i) {
      const std::string& f = fields[i].first;
      if (f.size() != name.size()) continue;
      bool same = true;
      for (size_t k = 0; k < f.size() && same; ++k) same = (f[k] | 0x20) == (name[k] | 0x20);
      if (same) return static_cast<int>(i) + 1;
    }
    return 0;
  }
};

class FakeContext : public EvalContext {
 public:
  FakeRecord current;
  std::map<std::string, FakeRecord> aliases;  // upper-case alias
  int field_lookups = 0;

  void Set(const std::string& field, Value v) {
    const int i = current.Find(field);
    if (i > 0) {
      current.fields[static_cast<size_t>(i) - 1].second = std::move(v);
    } else {
      current.fields.emplace_back(field, std::move(v));
    }
  }

  int FieldIndex(std::string_view name, int) override {
    ++field_lookups;
    return current.Find(name);
  }
  void FieldValue(int index, Value* out) override {
    *out = current.fields[static_cast<size_t>(index) - 1].second;
  }
  AliasStatus AliasField(std::string_view alias, std::string_view field, Value* out) override {
    std::string key(alias);
    for (char& c : key) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    auto it = aliases.find(key);
    if (it == aliases.end()) return AliasStatus::kNoAlias;
    const int i = it->second.Find(field);
    if (i == 0) return AliasStatus::kNoField;
    *out = it->second.fields[static_cast<size_t>(i) - 1].second;
    return AliasStatus::kOk;
  }
  uint32_t RecNo() override { return current.recno; }
  bool Deleted() override { return current.deleted; }
  const Value* FindMemVar(std::string_view name) override { return GetMemVars().Find(name); }
};

// Records every error raised while it lives and answers with a fixed answer (default
// unless told otherwise).
class ErrorLog {
 public:
  ErrorLog()
      : scope_([this](Error& e) {
          errors.push_back(e);
          return answer;
        }) {}
  std::vector<Error> errors;
  ErrorAnswer answer = ErrorAnswer::Default();

  // "gen/sub operation" of the last error, or "" when none was raised.
  std::string Last() const {
    if (errors.empty()) return "";
    const Error& e = errors.back();
    return std::to_string(e.gen_code) + "/" + std::to_string(e.sub_code) + " " + e.operation;
  }

 private:
  ScopedErrorHandler scope_;
};

}  // namespace px::expr::test

#endif  // PX_TESTS_ENGINE_EXPR_FAKE_CONTEXT_H_
