// The tokenizer of expression text.
//
// Reads the text left to right; blanks (space, tab, carriage return, line feed) separate
// tokens. Words and dotted operators are recognised without regard to letter case. The
// caller says whether a value may start at the current place, because "[" opens a
// string there and is the index bracket elsewhere.
#ifndef PX_ENGINE_EXPR_TOKEN_H_
#define PX_ENGINE_EXPR_TOKEN_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace px::expr {

enum class Tok {
  kEnd,
  kError,    // a character or form no token starts with, or an unterminated string
  kName,     // text: the name as written
  kNumber,   // value
  kString,   // text: the contents
  kTrue,     // .T. .Y.
  kFalse,    // .F. .N.
  kNil,      // NIL
  kAnd,      // .AND.
  kOr,       // .OR.
  kNot,      // .NOT. !
  kEq,       // =
  kExactEq,  // ==
  kNe,       // <> != #
  kLt,
  kLe,
  kGt,
  kGe,
  kIn,     // $
  kPlus,   // +
  kMinus,  // -
  kStar,   // *
  kSlash,  // /
  kPercent,
  kPower,  // ** ^
  kAlias,  // ->
  kLParen,
  kRParen,
  kComma,
  kAssign,     // :=
  kPlusEq,     // +=
  kMinusEq,    // -=
  kStarEq,     // *=
  kSlashEq,    // /=
  kPercentEq,  // %=
  kPowerEq,    // ^= **=
  kInc,        // ++
  kDec,        // --
  kColon,      // :
  kSelf,       // ::
  kLBracket,   // [ (after a value)
  kRBracket,   // ]
  kLBrace,     // {
  kRBrace,     // }
  kBar,        // |
  kMacro,      // &
};

struct Token {
  Tok kind = Tok::kEnd;
  size_t offset = 0;      // where the token starts in the text
  std::string_view text;  // names: as written; strings: the contents
  Value number;           // numbers
};

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  // The next token. value_may_start: "[" opens a string literal.
  Token Next(bool value_may_start);
  // The next token without consuming it.
  Token Peek(bool value_may_start);
  // True when the character right after the last token is `c` (no blank between).
  bool NextCharIs(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
  void Skip(size_t n) { pos_ += n; }
  size_t offset() const { return pos_; }

 private:
  Token ReadNumber(size_t start);
  Token ReadDotted(size_t start);

  std::string_view text_;
  size_t pos_ = 0;
};

// True when the name (as written) equals the upper-case keyword, ignoring case.
bool NameIs(std::string_view name, std::string_view upper_keyword);

}  // namespace px::expr

#endif  // PX_ENGINE_EXPR_TOKEN_H_
