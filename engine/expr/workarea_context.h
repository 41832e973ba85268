// The evaluation context over the work areas and the process's memory variables: the
// one expressions see when they run inside the engine.
#ifndef PX_ENGINE_EXPR_WORKAREA_CONTEXT_H_
#define PX_ENGINE_EXPR_WORKAREA_CONTEXT_H_

#include "engine/expr/eval_context.h"

namespace px::expr {

// Fields are those of the current work area (names compared without regard to letter
// case, cut to the 10 characters of a DBF field name); alias->field reads the current
// record of the area an alias (or a letter A to K) names, without changing the
// selection; RECNO and DELETED are those of the current area.
class WorkAreaContext : public EvalContext {
 public:
  int FieldIndex(std::string_view name, int hint) override;
  void FieldValue(int index, Value* out) override;
  AliasStatus AliasField(std::string_view alias, std::string_view field, Value* out) override;
  uint32_t RecNo() override;
  bool Deleted() override;
  const Value* FindMemVar(std::string_view name) override;
};

}  // namespace px::expr

#endif  // PX_ENGINE_EXPR_WORKAREA_CONTEXT_H_
