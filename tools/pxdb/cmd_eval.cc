// pxdb eval FILE "EXPR" [--recno N]: the value of an expression on one record, or on
// every record. Each line is the record number, the value's type letter and the value,
// separated by tabs: strings as JSON strings (blanks kept, bytes as Latin-1
// characters), numbers as STR gives them without leading blanks, dates YYYYMMDD (""
// for the empty date), logicals .T./.F., NIL, arrays as {a, b}. Errors raised while
// evaluating (an unknown name, a wrong argument) end the command with one line.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "engine/expr/compiler.h"
#include "engine/expr/evaluator.h"
#include "engine/expr/str_format.h"
#include "engine/expr/workarea_context.h"
#include "engine/workarea/commands.h"
#include "runtime/date.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

// Arrays nested deeper than this print as "{...}".
constexpr int kMaxPrintDepth = 8;

std::string ValueText(const Value& v, int depth) {
  switch (v.type()) {
    case Value::Type::kCharacter:
    case Value::Type::kMemo:
      return nlohmann::json(Latin1ToUtf8(v.str())).dump();
    case Value::Type::kNumber: {
      const std::string s = STR(v);
      const size_t first = s.find_first_not_of(' ');
      return first == std::string::npos ? s : s.substr(first);
    }
    case Value::Type::kDate:
      return v.date() == 0 ? "\"\"" : DateToDtos(v.date());
    case Value::Type::kLogical:
      return v.logical() ? ".T." : ".F.";
    case Value::Type::kNil:
      return "NIL";
    case Value::Type::kArray: {
      if (depth >= kMaxPrintDepth) return "{...}";
      std::string out = "{";
      const std::vector<Value>& items = v.array();
      for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += ", ";
        out += ValueText(items[i], depth + 1);
      }
      return out + "}";
    }
    default:
      return std::string(1, v.TypeLetter());
  }
}

class EvalCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("FILE", file_, "table file")->required();
    sub.add_option("EXPR", text_, "expression")->required();
    sub.add_option("--recno", recno_, "evaluate on this record only")->check(CLI::PositiveNumber);
  }

  int Run(const GlobalOptions& options, Io& io) override {
    expr::SyntaxError syntax;
    std::shared_ptr<const expr::Program> program = expr::Compile(text_, &syntax);
    if (program == nullptr) {
      return Fail(io, "syntax error in expression: " + syntax.message + " at character " +
                          std::to_string(syntax.offset + 1));
    }
    EngineSession session;
    std::string message;
    if (OpenTable(file_, options, /*read_only=*/true, session, &message) == nullptr) {
      return Fail(io, message);
    }
    const uint32_t count = RECCOUNT();
    uint32_t first = 1, last = count;
    if (recno_) {
      if (*recno_ > count) {
        return Fail(io, "record " + std::to_string(*recno_) + " does not exist (" +
                            std::to_string(count) + " records)");
      }
      first = last = *recno_;
    }
    expr::WorkAreaContext ctx;
    for (uint32_t r = first; r <= last && r != 0; ++r) {
      DBGOTO(r);
      const Value v = expr::Run(*program, ctx);
      if (session.failed()) {
        return Fail(io, "record " + std::to_string(r) + ": " + session.FirstError());
      }
      io.out << r << '\t' << v.TypeLetter() << '\t' << ValueText(v, 0) << '\n';
    }
    return 0;
  }

 private:
  std::string file_;
  std::string text_;
  std::optional<uint32_t> recno_;
};

}  // namespace

std::unique_ptr<Command> MakeEvalCommand() {
  return std::make_unique<EvalCommand>();
}

}  // namespace px::pxdb
