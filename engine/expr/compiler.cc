#include "engine/expr/compiler.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "engine/expr/functions.h"
#include "engine/expr/limits.h"
#include "engine/expr/token.h"

namespace px::expr {

namespace {

// Binding levels; higher binds tighter.
constexpr int kLevelAssign = 1;
constexpr int kLevelOr = 2;
constexpr int kLevelAnd = 3;
constexpr int kLevelNot = 4;
constexpr int kLevelCompare = 5;
constexpr int kLevelAdd = 6;
constexpr int kLevelMul = 7;
constexpr int kLevelPower = 8;
constexpr int kLevelPrefix = 9;

struct BinaryInfo {
  int level;
  Op op;
  const char* assign_text;  // for assignments: the operator text; else nullptr
};

// The binary operator a token stands for, or level 0.
BinaryInfo Binary(Tok t) {
  switch (t) {
    case Tok::kOr:
      return {kLevelOr, Op::kOr, nullptr};
    case Tok::kAnd:
      return {kLevelAnd, Op::kAnd, nullptr};
    case Tok::kEq:
      return {kLevelCompare, Op::kEq, nullptr};
    case Tok::kExactEq:
      return {kLevelCompare, Op::kExactEq, nullptr};
    case Tok::kNe:
      return {kLevelCompare, Op::kNe, nullptr};
    case Tok::kLt:
      return {kLevelCompare, Op::kLt, nullptr};
    case Tok::kLe:
      return {kLevelCompare, Op::kLe, nullptr};
    case Tok::kGt:
      return {kLevelCompare, Op::kGt, nullptr};
    case Tok::kGe:
      return {kLevelCompare, Op::kGe, nullptr};
    case Tok::kIn:
      return {kLevelCompare, Op::kIn, nullptr};
    case Tok::kPlus:
      return {kLevelAdd, Op::kAdd, nullptr};
    case Tok::kMinus:
      return {kLevelAdd, Op::kSub, nullptr};
    case Tok::kStar:
      return {kLevelMul, Op::kMul, nullptr};
    case Tok::kSlash:
      return {kLevelMul, Op::kDiv, nullptr};
    case Tok::kPercent:
      return {kLevelMul, Op::kMod, nullptr};
    case Tok::kPower:
      return {kLevelPower, Op::kPow, nullptr};
    case Tok::kAssign:
      return {kLevelAssign, Op::kUnsupported, ":="};
    case Tok::kPlusEq:
      return {kLevelAssign, Op::kUnsupported, "+="};
    case Tok::kMinusEq:
      return {kLevelAssign, Op::kUnsupported, "-="};
    case Tok::kStarEq:
      return {kLevelAssign, Op::kUnsupported, "*="};
    case Tok::kSlashEq:
      return {kLevelAssign, Op::kUnsupported, "/="};
    case Tok::kPercentEq:
      return {kLevelAssign, Op::kUnsupported, "%="};
    case Tok::kPowerEq:
      return {kLevelAssign, Op::kUnsupported, "^="};
    default:
      return {0, Op::kPop, nullptr};
  }
}

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool IsMemVarAlias(std::string_view a) {
  return NameIs(a, "M") || NameIs(a, "MEMV") || NameIs(a, "MEMVA") || NameIs(a, "MEMVAR");
}
bool IsFieldAlias(std::string_view a) {
  return NameIs(a, "FIEL") || NameIs(a, "FIELD") || NameIs(a, "_FIEL") || NameIs(a, "_FIELD");
}

}  // namespace

class Compiler {
 public:
  explicit Compiler(std::string_view text) : lexer_(text), text_(text) {}

  std::shared_ptr<const Program> Run(SyntaxError* error);

 private:
  enum class Kind {
    kBinary,      // a binary operator waiting for its right operand
    kPrefix,      // a prefix operator waiting for its operand
    kParen,       // "(" of grouping or a list
    kCall,        // "name(" of a call
    kIif,         // "IIF(" / "IF("
    kArray,       // "{" of an array literal
    kBlock,       // "{|...|" of a code block
    kIndex,       // "[" of indexing
    kSend,        // "obj:name(" of a message send
    kMacroParen,  // "&(" of a macro
  };
  struct Frame {
    Kind kind;
    int level = 0;
    Op op = Op::kPop;
    const char* text = nullptr;  // operation text of unsupported forms
    int start = 0;               // code position where the construct began
    int count = 0;               // arguments / elements / IIF stage
    int a = 0;                   // function or name index
    int patch = -1;              // jump to patch when the frame closes
    int patch2 = -1;
    bool empty = true;  // no argument started yet
  };

  bool Fail(const char* message, size_t offset) {
    if (error_message_ == nullptr) {
      error_message_ = message;
      error_offset_ = offset;
    }
    return false;
  }

  int Emit(Op op, int a = 0, int b = 0) {
    prog_->code_.push_back(Instr{op, a, b});
    return static_cast<int>(prog_->code_.size()) - 1;
  }
  int Here() const { return static_cast<int>(prog_->code_.size()); }
  void Patch(int at) { prog_->code_[static_cast<size_t>(at)].a = Here(); }

  int Constant(Value v) {
    prog_->constants_.push_back(std::move(v));
    return static_cast<int>(prog_->constants_.size()) - 1;
  }
  int Name(std::string_view name);
  int FunctionIndex(std::string_view name);

  void PushOperand(int start) {
    operands_.push_back(start);
    prog_->max_stack_ = std::max(prog_->max_stack_, operands_.size());
  }
  int PopOperand() {
    const int start = operands_.back();
    operands_.pop_back();
    return start;
  }

  bool PushFrame(Frame f) {
    if (frames_.size() >= kParserStackLimit) return Fail("parser stack overflow", last_offset_);
    frames_.push_back(f);
    return true;
  }

  // Replaces the code from `start` on with an unsupported-operation instruction.
  void EmitUnsupported(int start, const char* text) {
    prog_->code_.resize(static_cast<size_t>(start));
    Emit(Op::kUnsupported, Constant(Value::String(text)));
  }

  void ReduceTop();
  // Reduces operators that bind at least as tightly as an incoming binary operator.
  void ReduceFor(int level);
  // Reduces every operator down to the nearest bracket frame; false when none.
  bool ReduceToBracket();

  bool Operand(const Token& t);
  bool Operator(const Token& t, bool* done);
  bool CloseEmpty(const Token& t, bool* handled);
  bool Send(std::string_view name);

  Lexer lexer_;
  std::string_view text_;
  std::shared_ptr<Program> prog_ = std::make_shared<Program>();
  std::vector<Frame> frames_;
  std::vector<int> operands_;  // code position where each pending operand starts
  std::unordered_map<std::string, int> name_index_;      // upper-case name -> names_
  std::unordered_map<std::string, int> function_index_;  // upper-case name -> functions_
  const char* error_message_ = nullptr;
  size_t error_offset_ = 0;
  size_t last_offset_ = 0;
  bool expect_operand_ = true;  // a value may start at the next token
};

// Names and functions are few in a key text: they are searched linearly while there
// are at most kSmallTable of them, through a hash index beyond that (long texts stay
// linear in time).
constexpr size_t kSmallTable = 16;

int Compiler::Name(std::string_view name) {
  std::vector<NameRef>& names = prog_->names_;
  if (names.size() <= kSmallTable) {
    for (size_t i = 0; i < names.size(); ++i) {
      if (NameIs(name, names[i].upper)) return static_cast<int>(i);
    }
    if (names.size() == kSmallTable) {
      for (size_t i = 0; i < names.size(); ++i) {
        name_index_.emplace(names[i].upper, static_cast<int>(i));
      }
    }
  }
  std::string upper = UpperCase(name);
  if (names.size() >= kSmallTable) {
    auto it = name_index_.find(upper);
    if (it != name_index_.end()) return it->second;
    name_index_.emplace(upper, static_cast<int>(names.size()));
  }
  NameRef ref;
  ref.name = std::string(name);
  ref.upper = std::move(upper);
  names.push_back(std::move(ref));
  return static_cast<int>(names.size()) - 1;
}

int Compiler::FunctionIndex(std::string_view name) {
  std::vector<FunctionRef>& functions = prog_->functions_;
  if (functions.size() <= kSmallTable) {
    for (size_t i = 0; i < functions.size(); ++i) {
      if (NameIs(name, functions[i].name)) return static_cast<int>(i);
    }
    if (functions.size() == kSmallTable) {
      for (size_t i = 0; i < functions.size(); ++i) {
        function_index_.emplace(functions[i].name, static_cast<int>(i));
      }
    }
  }
  std::string upper = UpperCase(name);
  if (functions.size() >= kSmallTable) {
    auto it = function_index_.find(upper);
    if (it != function_index_.end()) return it->second;
    function_index_.emplace(upper, static_cast<int>(functions.size()));
  }
  FunctionRef ref;
  ref.function = FindFunction(upper);
  ref.name = std::move(upper);
  functions.push_back(std::move(ref));
  return static_cast<int>(functions.size()) - 1;
}

void Compiler::ReduceTop() {
  Frame f = frames_.back();
  frames_.pop_back();
  if (f.kind == Kind::kPrefix) {
    const int start = PopOperand();
    if (f.op == Op::kUnsupported) {
      EmitUnsupported(f.start, f.text);
    } else {
      Emit(f.op);
    }
    PushOperand(std::min(start, f.start));
    return;
  }
  // Binary.
  PopOperand();
  const int left = PopOperand();
  if (f.op == Op::kUnsupported) {
    EmitUnsupported(left, f.text);
  } else {
    Emit(f.op);
    if (f.patch >= 0) Patch(f.patch);  // .AND. / .OR. short cut lands after the operator
  }
  PushOperand(left);
}

void Compiler::ReduceFor(int level) {
  while (!frames_.empty()) {
    const Frame& top = frames_.back();
    if (top.kind != Kind::kBinary && top.kind != Kind::kPrefix) return;
    // Assignments group right to left; every other level left to right.
    const bool reduce = top.level > level || (top.level == level && level != kLevelAssign);
    if (!reduce) return;
    ReduceTop();
  }
}

bool Compiler::ReduceToBracket() {
  while (!frames_.empty() &&
         (frames_.back().kind == Kind::kBinary || frames_.back().kind == Kind::kPrefix)) {
    ReduceTop();
  }
  return !frames_.empty();
}

bool Compiler::Send(std::string_view name) {
  // The object is the pending operand; arguments may follow in parentheses.
  if (lexer_.Peek(false).kind == Tok::kLParen) {
    lexer_.Next(false);
    Frame f{Kind::kSend};
    f.start = operands_.back();
    f.a = Name(name);
    expect_operand_ = true;
    return PushFrame(f);
  }
  Emit(Op::kSend, Name(name), 0);
  expect_operand_ = false;
  return true;
}

// An empty argument or an empty list: "f()", "f(a,,b)", "{}", "{|| }".
bool Compiler::CloseEmpty(const Token& t, bool* handled) {
  *handled = false;
  if (frames_.empty()) return true;
  Frame& top = frames_.back();
  const bool closes_paren =
      t.kind == Tok::kRParen && (top.kind == Kind::kCall || top.kind == Kind::kSend);
  const bool closes_brace =
      t.kind == Tok::kRBrace && (top.kind == Kind::kArray || top.kind == Kind::kBlock);
  if (top.empty && (closes_paren || closes_brace)) {
    *handled = true;
    expect_operand_ = false;
    Frame f = top;
    frames_.pop_back();
    switch (f.kind) {
      case Kind::kCall:
        PushOperand(Here());
        Emit(Op::kCall, f.a, 0);
        break;
      case Kind::kSend:
        Emit(Op::kSend, f.a, 0);
        break;
      case Kind::kArray:
        PushOperand(Here());
        Emit(Op::kArray, 0, 0);
        break;
      default:  // an empty code block
        PushOperand(f.start);
        EmitUnsupported(f.start, "{||}");
        break;
    }
    return true;
  }
  // A missing argument between commas, or before the closing bracket, is nil.
  const bool list = top.kind == Kind::kCall || top.kind == Kind::kSend || top.kind == Kind::kArray;
  if (list && (t.kind == Tok::kComma || closes_paren || t.kind == Tok::kRBrace)) {
    PushOperand(Here());
    Emit(Op::kPushConst, Constant(Value()));
    return true;  // the token is handled as an operator next
  }
  return Fail("parse error", t.offset);
}

bool Compiler::Operand(const Token& t) {
  // Literals and names complete an operand; brackets and prefix operators wait for one.
  expect_operand_ = false;
  switch (t.kind) {
    case Tok::kNumber:
      PushOperand(Here());
      Emit(Op::kPushConst, Constant(t.number));
      return true;
    case Tok::kString:
      PushOperand(Here());
      Emit(Op::kPushConst, Constant(Value::String(std::string(t.text))),
           t.text.size() >= kLargeString ? 1 : 0);
      return true;
    case Tok::kTrue:
    case Tok::kFalse:
      PushOperand(Here());
      Emit(Op::kPushConst, Constant(Value::Logical(t.kind == Tok::kTrue)));
      return true;
    case Tok::kNil:
      PushOperand(Here());
      Emit(Op::kPushConst, Constant(Value()));
      return true;
    case Tok::kName: {
      const Token next = lexer_.Peek(false);
      if (next.kind == Tok::kLParen) {
        lexer_.Next(false);
        Frame f{Kind::kCall};
        f.start = Here();
        if (NameIs(t.text, "IIF") || NameIs(t.text, "IF")) {
          f.kind = Kind::kIif;
        } else {
          f.a = FunctionIndex(t.text);
        }
        expect_operand_ = true;
        return PushFrame(f);
      }
      if (next.kind == Tok::kAlias) {
        lexer_.Next(false);
        const Token field = lexer_.Next(false);
        if (field.kind != Tok::kName) return Fail("parse error", field.offset);
        PushOperand(Here());
        if (IsMemVarAlias(t.text)) {
          Emit(Op::kPushMemVar, Name(field.text));
        } else if (IsFieldAlias(t.text)) {
          Emit(Op::kPushField, Name(field.text));
        } else {
          Emit(Op::kPushAliasField, Name(t.text), Name(field.text));
        }
        return true;
      }
      PushOperand(Here());
      Emit(Op::kPushName, Name(t.text));
      return true;
    }
    case Tok::kLParen: {
      Frame f{Kind::kParen};
      f.start = Here();
      expect_operand_ = true;
      return PushFrame(f);
    }
    case Tok::kMinus:
    case Tok::kPlus:
    case Tok::kNot:
    case Tok::kInc:
    case Tok::kDec: {
      Frame f{Kind::kPrefix};
      f.start = Here();
      f.level = t.kind == Tok::kNot ? kLevelNot : kLevelPrefix;
      f.op = t.kind == Tok::kMinus  ? Op::kNeg
             : t.kind == Tok::kPlus ? Op::kPos
             : t.kind == Tok::kNot  ? Op::kNot
                                    : Op::kUnsupported;
      f.text = t.kind == Tok::kInc ? "++" : "--";
      expect_operand_ = true;
      return PushFrame(f);
    }
    case Tok::kLBrace: {
      Frame f{Kind::kArray};
      f.start = Here();
      if (lexer_.Peek(true).kind == Tok::kBar) {
        // A code block: {|params| body, ...}
        lexer_.Next(true);
        f.kind = Kind::kBlock;
        Token p = lexer_.Next(false);
        if (p.kind == Tok::kName) {
          for (;;) {
            p = lexer_.Next(false);
            if (p.kind == Tok::kBar) break;
            if (p.kind != Tok::kComma) return Fail("parse error", p.offset);
            p = lexer_.Next(false);
            if (p.kind != Tok::kName) return Fail("parse error", p.offset);
          }
        } else if (p.kind != Tok::kBar) {
          return Fail("parse error", p.offset);
        }
      }
      expect_operand_ = true;
      return PushFrame(f);
    }
    case Tok::kMacro: {
      const Token n = lexer_.Next(false);
      if (n.offset != t.offset + 1) return Fail("parse error", n.offset);
      if (n.kind == Tok::kName) {
        if (lexer_.NextCharIs('.')) lexer_.Skip(1);
        PushOperand(Here());
        Emit(Op::kMacroName, Name(n.text));
        return true;
      }
      if (n.kind == Tok::kLParen) {
        Frame f{Kind::kMacroParen};
        f.start = Here();
        expect_operand_ = true;
        return PushFrame(f);
      }
      return Fail("parse error", n.offset);
    }
    case Tok::kSelf: {
      const Token n = lexer_.Next(false);
      if (n.kind != Tok::kName) return Fail("parse error", n.offset);
      PushOperand(Here());
      Emit(Op::kPushConst, Constant(Value()));
      return Send(n.text);
    }
    default:
      return Fail("parse error", t.offset);
  }
}

bool Compiler::Operator(const Token& t, bool* done) {
  // Binary operators, "[" and "," wait for an operand; closing brackets complete one.
  expect_operand_ = true;
  const BinaryInfo bin = Binary(t.kind);
  if (bin.level > 0) {
    ReduceFor(bin.level);
    Frame f{Kind::kBinary};
    f.level = bin.level;
    f.op = bin.op;
    f.text = bin.assign_text;
    f.start = operands_.back();
    if (bin.op == Op::kAnd) f.patch = Emit(Op::kAndJump);
    if (bin.op == Op::kOr) f.patch = Emit(Op::kOrJump);
    return PushFrame(f);
  }
  switch (t.kind) {
    case Tok::kLBracket: {
      Frame f{Kind::kIndex};
      f.start = operands_.back();
      return PushFrame(f);
    }
    case Tok::kColon: {
      const Token n = lexer_.Next(false);
      if (n.kind != Tok::kName) return Fail("parse error", n.offset);
      return Send(n.text);
    }
    case Tok::kInc:
    case Tok::kDec: {
      // Postfix increment of the pending operand.
      const int start = PopOperand();
      EmitUnsupported(start, t.kind == Tok::kInc ? "++" : "--");
      PushOperand(start);
      expect_operand_ = false;
      return true;
    }
    case Tok::kComma: {
      if (!ReduceToBracket()) return Fail("parse error", t.offset);
      Frame& f = frames_.back();
      switch (f.kind) {
        case Kind::kCall:
        case Kind::kSend:
        case Kind::kArray:
          ++f.count;
          f.empty = false;
          return true;
        case Kind::kIif:
          if (f.count == 0) {
            PopOperand();  // the condition is consumed by the jump
            f.patch = Emit(Op::kJumpFalse);
          } else if (f.count == 1) {
            PopOperand();  // only one branch is left on the stack when run
            f.patch2 = Emit(Op::kJump);
            Patch(f.patch);
          } else {
            return Fail("parse error", t.offset);
          }
          ++f.count;
          return true;
        case Kind::kParen:
          PopOperand();
          Emit(Op::kPop);
          return true;
        case Kind::kIndex: {
          // a[i, j] is a[i][j]
          PopOperand();
          Emit(Op::kIndex);
          return true;
        }
        case Kind::kBlock:
          PopOperand();
          return true;
        default:
          return Fail("parse error", t.offset);
      }
    }
    case Tok::kRParen: {
      expect_operand_ = false;
      if (!ReduceToBracket()) return Fail("parse error", t.offset);
      Frame f = frames_.back();
      frames_.pop_back();
      switch (f.kind) {
        case Kind::kParen: {
          const int start = PopOperand();
          PushOperand(std::min(start, f.start));
          return true;
        }
        case Kind::kCall:
        case Kind::kSend: {
          const int argc = f.count + 1;
          for (int i = 0; i < argc; ++i) PopOperand();
          if (f.kind == Kind::kSend) {
            // The object stays below its arguments and becomes the result.
            Emit(Op::kSend, f.a, argc);
          } else {
            PushOperand(f.start);
            Emit(Op::kCall, f.a, argc);
          }
          return true;
        }
        case Kind::kIif: {
          if (f.count != 2) return Fail("parse error", t.offset);
          Patch(f.patch2);
          const int start = PopOperand();
          PushOperand(std::min(start, f.start));
          return true;
        }
        case Kind::kMacroParen: {
          Emit(Op::kMacroText);
          return true;
        }
        default:
          return Fail("parse error", t.offset);
      }
    }
    case Tok::kRBracket: {
      expect_operand_ = false;
      if (!ReduceToBracket() || frames_.back().kind != Kind::kIndex) {
        return Fail("parse error", t.offset);
      }
      frames_.pop_back();
      PopOperand();
      Emit(Op::kIndex);
      return true;
    }
    case Tok::kRBrace: {
      expect_operand_ = false;
      if (!ReduceToBracket()) return Fail("parse error", t.offset);
      Frame f = frames_.back();
      frames_.pop_back();
      if (f.kind == Kind::kArray) {
        const int count = f.count + 1;
        for (int i = 0; i < count; ++i) PopOperand();
        PushOperand(f.start);
        Emit(Op::kArray, 0, count);
        return true;
      }
      if (f.kind == Kind::kBlock) {
        PopOperand();
        PushOperand(f.start);
        EmitUnsupported(f.start, "{||}");
        return true;
      }
      return Fail("parse error", t.offset);
    }
    case Tok::kEnd:
      ReduceToBracket();
      if (!frames_.empty() || operands_.size() != 1) return Fail("parse error", t.offset);
      *done = true;
      return true;
    default:
      return Fail("parse error", t.offset);
  }
}

std::shared_ptr<const Program> Compiler::Run(SyntaxError* error) {
  prog_->text_ = std::string(text_);
  prog_->code_.reserve(text_.size() / 3 + 4);
  prog_->constants_.reserve(4);
  prog_->names_.reserve(4);
  prog_->functions_.reserve(4);
  frames_.reserve(16);
  operands_.reserve(16);
  bool done = false;
  bool ok = true;
  expect_operand_ = true;
  while (ok && !done) {
    const Token t = lexer_.Next(expect_operand_);
    last_offset_ = t.offset;
    if (t.kind == Tok::kError) {
      ok = Fail("parse error", t.offset);
    } else if (!expect_operand_) {
      ok = Operator(t, &done);
    } else if (t.kind == Tok::kComma || t.kind == Tok::kRParen || t.kind == Tok::kRBrace) {
      bool handled = false;
      ok = CloseEmpty(t, &handled);
      if (ok && !handled) ok = Operator(t, &done);
    } else {
      ok = Operand(t);
    }
  }
  if (!ok) {
    if (error != nullptr) {
      error->message = error_message_ != nullptr ? error_message_ : "parse error";
      error->offset = error_offset_;
    }
    return nullptr;
  }
  return prog_;
}

std::shared_ptr<const Program> Compile(std::string_view text, SyntaxError* error) {
  Compiler compiler(text);
  return compiler.Run(error);
}

}  // namespace px::expr
