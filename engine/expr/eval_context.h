// What a running expression sees of the tables and variables: the seam between the
// evaluator and the work areas. WorkAreaContext (workarea_context.h) is the real one;
// tests use fakes.
//
// A context only answers questions; it raises no errors. The evaluator decides which
// error a missing name or alias is and repeats the question while the handler answers
// retry.
#ifndef PX_ENGINE_EXPR_EVAL_CONTEXT_H_
#define PX_ENGINE_EXPR_EVAL_CONTEXT_H_

#include <cstdint>
#include <string_view>

#include "runtime/value.h"

namespace px::expr {

class EvalContext {
 public:
  enum class AliasStatus { kOk, kNoAlias, kNoField };

  virtual ~EvalContext() = default;

  // 1-based position of the field `name` (any letter case) in the current work area, 0
  // when there is no such field or no table. `hint` is the position the name had at
  // its last look-up (0 when unknown); a context may try it first.
  virtual int FieldIndex(std::string_view name, int hint) = 0;
  // The value of a field (by FieldIndex position) in the current record.
  virtual void FieldValue(int index, Value* out) = 0;
  // alias->field: the field of the current record of the work area the alias names.
  virtual AliasStatus AliasField(std::string_view alias, std::string_view field, Value* out) = 0;
  // Current record number of the current area, 0 with no table.
  virtual uint32_t RecNo() = 0;
  // Deletion mark of the current record, false with no table.
  virtual bool Deleted() = 0;
  // The memory variable of that name (any letter case), or nullptr.
  virtual const Value* FindMemVar(std::string_view name) = 0;
};

}  // namespace px::expr

#endif  // PX_ENGINE_EXPR_EVAL_CONTEXT_H_
