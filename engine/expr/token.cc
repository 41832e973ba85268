#include "engine/expr/token.h"

#include <charconv>
#include <cmath>

namespace px::expr {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsNameChar(char c) {
  return IsNameStart(c) || IsDigit(c);
}
char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

struct Dotted {
  std::string_view word;  // between the dots
  Tok kind;
};
constexpr Dotted kDotted[] = {
    {"T", Tok::kTrue},  {"Y", Tok::kTrue}, {"F", Tok::kFalse}, {"N", Tok::kFalse},
    {"AND", Tok::kAnd}, {"OR", Tok::kOr},  {"NOT", Tok::kNot},
};

// The dotted word starting at text[start] ("." word "."), or nullptr.
const Dotted* MatchDotted(std::string_view text, size_t start) {
  for (const Dotted& d : kDotted) {
    const size_t end = start + 1 + d.word.size();
    if (end >= text.size() || text[end] != '.') continue;
    bool same = true;
    for (size_t i = 0; i < d.word.size() && same; ++i) {
      same = Upper(text[start + 1 + i]) == d.word[i];
    }
    if (same) return &d;
  }
  return nullptr;
}

}  // namespace

bool NameIs(std::string_view name, std::string_view upper_keyword) {
  if (name.size() != upper_keyword.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (Upper(name[i]) != upper_keyword[i]) return false;
  }
  return true;
}

Token Lexer::Peek(bool value_may_start) {
  const size_t saved = pos_;
  Token t = Next(value_may_start);
  pos_ = saved;
  return t;
}

Token Lexer::ReadNumber(size_t start) {
  size_t p = start;
  while (p < text_.size() && IsDigit(text_[p])) ++p;
  size_t decimals = 0;
  bool has_point = false;
  if (p < text_.size() && text_[p] == '.' && MatchDotted(text_, p) == nullptr) {
    has_point = true;
    ++p;
    while (p < text_.size() && IsDigit(text_[p])) {
      ++p;
      ++decimals;
    }
  }
  pos_ = p;
  Token t;
  t.offset = start;
  t.text = text_.substr(start, p - start);
  const size_t int_digits = has_point ? t.text.size() - decimals - 1 : t.text.size();
  if (!has_point && int_digits <= 18) {
    int64_t v = 0;
    std::from_chars(t.text.data(), t.text.data() + t.text.size(), v);
    t.kind = Tok::kNumber;
    t.number = Value::Integer(v);
    return t;
  }
  double v = 0;
  const auto [ptr, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), v);
  if (ec != std::errc() || !std::isfinite(v)) {
    t.kind = Tok::kError;
    return t;
  }
  t.kind = Tok::kNumber;
  t.number = Value::Double(v, -1, static_cast<int>(decimals > 15 ? 15 : decimals));
  return t;
}

Token Lexer::Next(bool value_may_start) {
  while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r' ||
                                 text_[pos_] == '\n')) {
    ++pos_;
  }
  Token t;
  t.offset = pos_;
  if (pos_ >= text_.size()) return t;  // kEnd
  const char c = text_[pos_];
  const char n = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';

  if (IsNameStart(c)) {
    size_t p = pos_ + 1;
    while (p < text_.size() && IsNameChar(text_[p])) ++p;
    t.text = text_.substr(pos_, p - pos_);
    pos_ = p;
    t.kind = NameIs(t.text, "NIL") ? Tok::kNil : Tok::kName;
    return t;
  }
  if (IsDigit(c)) return ReadNumber(pos_);
  if (c == '.') {
    if (IsDigit(n)) return ReadNumber(pos_);
    if (const Dotted* d = MatchDotted(text_, pos_)) {
      pos_ += d->word.size() + 2;
      t.kind = d->kind;
      return t;
    }
    t.kind = Tok::kError;
    return t;
  }
  if (c == '"' || c == '\'' || (c == '[' && value_may_start)) {
    const char close = c == '[' ? ']' : c;
    const size_t end = text_.find(close, pos_ + 1);
    if (end == std::string_view::npos) {
      t.kind = Tok::kError;
      return t;
    }
    t.kind = Tok::kString;
    t.text = text_.substr(pos_ + 1, end - pos_ - 1);
    pos_ = end + 1;
    return t;
  }

  // Operators: the longest form first.
  auto take = [&](Tok kind, size_t len) {
    t.kind = kind;
    t.text = text_.substr(pos_, len);
    pos_ += len;
    return t;
  };
  const char n2 = pos_ + 2 < text_.size() ? text_[pos_ + 2] : '\0';
  switch (c) {
    case '=':
      return n == '=' ? take(Tok::kExactEq, 2) : take(Tok::kEq, 1);
    case '<':
      if (n == '=') return take(Tok::kLe, 2);
      if (n == '>') return take(Tok::kNe, 2);
      return take(Tok::kLt, 1);
    case '>':
      return n == '=' ? take(Tok::kGe, 2) : take(Tok::kGt, 1);
    case '!':
      return n == '=' ? take(Tok::kNe, 2) : take(Tok::kNot, 1);
    case '#':
      return take(Tok::kNe, 1);
    case '$':
      return take(Tok::kIn, 1);
    case '+':
      if (n == '+') return take(Tok::kInc, 2);
      if (n == '=') return take(Tok::kPlusEq, 2);
      return take(Tok::kPlus, 1);
    case '-':
      if (n == '>') return take(Tok::kAlias, 2);
      if (n == '-') return take(Tok::kDec, 2);
      if (n == '=') return take(Tok::kMinusEq, 2);
      return take(Tok::kMinus, 1);
    case '*':
      if (n == '*') return n2 == '=' ? take(Tok::kPowerEq, 3) : take(Tok::kPower, 2);
      if (n == '=') return take(Tok::kStarEq, 2);
      return take(Tok::kStar, 1);
    case '/':
      return n == '=' ? take(Tok::kSlashEq, 2) : take(Tok::kSlash, 1);
    case '%':
      return n == '=' ? take(Tok::kPercentEq, 2) : take(Tok::kPercent, 1);
    case '^':
      return n == '=' ? take(Tok::kPowerEq, 2) : take(Tok::kPower, 1);
    case '(':
      return take(Tok::kLParen, 1);
    case ')':
      return take(Tok::kRParen, 1);
    case ',':
      return take(Tok::kComma, 1);
    case ':':
      if (n == '=') return take(Tok::kAssign, 2);
      if (n == ':') return take(Tok::kSelf, 2);
      return take(Tok::kColon, 1);
    case '[':
      return take(Tok::kLBracket, 1);
    case ']':
      return take(Tok::kRBracket, 1);
    case '{':
      return take(Tok::kLBrace, 1);
    case '}':
      return take(Tok::kRBrace, 1);
    case '|':
      return take(Tok::kBar, 1);
    case '&':
      return take(Tok::kMacro, 1);
    default:
      t.kind = Tok::kError;
      return t;
  }
}

}  // namespace px::expr
