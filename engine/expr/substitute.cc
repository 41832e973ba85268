#include "engine/expr/substitute.h"

#include <algorithm>
#include <vector>

#include "engine/expr/eval_context.h"
#include "engine/expr/limits.h"
#include "runtime/process_state.h"

namespace px::expr {

namespace {

bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9');
}

// The text still to be read: a stack of pieces, the top one read first. Inserted values
// are pushed on top, so a reference may run from an inserted value into the text after
// it, as it would if the value had been spliced into the text.
class Stream {
 public:
  explicit Stream(std::string_view text) { pieces_.push_back({text, 0}); }

  bool AtEnd() {
    Drop();
    return pieces_.empty();
  }
  // The character `ahead` places after the next one; '\0' past the end.
  char Peek(size_t ahead) const {
    for (size_t i = pieces_.size(); i > 0; --i) {
      const Piece& p = pieces_[i - 1];
      const size_t left = p.text.size() - p.pos;
      if (ahead < left) return p.text[p.pos + ahead];
      ahead -= left;
    }
    return '\0';
  }
  void Advance(size_t n) {
    while (n > 0) {
      Drop();
      Piece& p = pieces_.back();
      const size_t step = std::min(n, p.text.size() - p.pos);
      p.pos += step;
      n -= step;
    }
  }
  // Copies the top piece up to its next "&" (or its end) to out; returns the count.
  size_t CopyPlain(std::string* out) {
    Drop();
    Piece& p = pieces_.back();
    size_t end = p.text.find('&', p.pos);
    if (end == std::string_view::npos) end = p.text.size();
    out->append(p.text.substr(p.pos, end - p.pos));
    const size_t n = end - p.pos;
    p.pos = end;
    return n;
  }
  void Insert(std::string_view value) { pieces_.push_back({value, 0}); }

 private:
  struct Piece {
    std::string_view text;
    size_t pos;
  };
  void Drop() {
    while (!pieces_.empty() && pieces_.back().pos >= pieces_.back().text.size()) {
      pieces_.pop_back();
    }
  }
  std::vector<Piece> pieces_;
};

// The process's variables as a context (only FindMemVar is used here).
class MemVarOnlyContext : public EvalContext {
 public:
  int FieldIndex(std::string_view, int) override { return 0; }
  void FieldValue(int, Value*) override {}
  AliasStatus AliasField(std::string_view, std::string_view, Value*) override {
    return AliasStatus::kNoAlias;
  }
  uint32_t RecNo() override { return 0; }
  bool Deleted() override { return false; }
  const Value* FindMemVar(std::string_view name) override { return GetMemVars().Find(name); }
};

}  // namespace

bool Substitute(std::string_view text, EvalContext& ctx, std::string* out) {
  size_t keep = text.size();
  while (keep > 0 && text[keep - 1] == ' ') --keep;
  const std::string_view body = text.substr(0, keep);
  if (body.find('&') == std::string_view::npos) {
    out->assign(text);
    return true;
  }
  std::string result;
  Stream in(body);
  int expansions = 0;
  bool cut = false;
  std::string name;
  while (!in.AtEnd()) {
    if (in.Peek(0) != '&') {
      in.CopyPlain(&result);
    } else if (!IsNameStart(in.Peek(1))) {
      result += '&';
      in.Advance(1);
    } else {
      name.clear();
      while (IsNameChar(in.Peek(1 + name.size()))) name += in.Peek(1 + name.size());
      const Value* value = name == "_" ? nullptr : ctx.FindMemVar(name);
      if (value == nullptr || !value->is_string()) {
        result += '&';
        result += name;
        in.Advance(1 + name.size());
      } else {
        const bool dot = in.Peek(1 + name.size()) == '.';
        in.Advance(1 + name.size() + (dot ? 1 : 0));
        if (++expansions > kSubstituteLimit) {
          cut = true;
          break;
        }
        in.Insert(value->str());
      }
    }
    if (result.size() > kMaxStringLength) {
      cut = true;
      break;
    }
  }
  if (cut) {
    out->assign(text);
    return false;
  }
  result.append(text.substr(keep));
  *out = std::move(result);
  return true;
}

std::string Substitute(std::string_view text) {
  MemVarOnlyContext ctx;
  std::string out;
  Substitute(text, ctx, &out);
  return out;
}

}  // namespace px::expr
