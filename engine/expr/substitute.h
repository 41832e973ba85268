// Text substitution: variable references in a text ("&ttodrvpth.oldexdef").
//
// Each "&" followed by a letter or "_" starts a name of letters, digits and "_". When a
// memory variable of that name holds a string, the "&", the name and a "." directly
// after it are replaced by the string, and the search goes on at the beginning of the
// inserted string, so references in it are expanded too. A reference to a variable that
// does not exist or is not a string, the single name "_", and an "&" not followed by a
// letter or "_" stay as they are. Trailing blanks of the text are set aside and put
// back at the end.
//
// A text whose expansion does not end (a variable that refers to itself) or grows past
// the largest string is left unchanged as a whole. Substitution takes time linear in the
// length of its result.
#ifndef PX_ENGINE_EXPR_SUBSTITUTE_H_
#define PX_ENGINE_EXPR_SUBSTITUTE_H_

#include <string>
#include <string_view>

namespace px::expr {

class EvalContext;

// Substitutes with the variables of a context; false (and the text unchanged in *out)
// when the expansion was cut off by the limits.
bool Substitute(std::string_view text, EvalContext& ctx, std::string* out);

// Substitutes with the process's memory variables.
std::string Substitute(std::string_view text);

}  // namespace px::expr

#endif  // PX_ENGINE_EXPR_SUBSTITUTE_H_
