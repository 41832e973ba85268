// pxdb seek FILE NTX VALUE [--soft] [--last]: seeks a value in an index as DBSEEK does
// and prints {"found":bool,"recno":N,"eof":bool}. VALUE is read by the type of the
// index's key: a number, a date as YYYYMMDD ("" for the empty date), T or F, or text
// (a prefix of a key matches).
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <ostream>

#include "engine/expr/compiler.h"
#include "engine/expr/evaluator.h"
#include "engine/expr/workarea_context.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "runtime/date.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/index_access.h"

namespace px::pxdb {
namespace {

// The value to seek for a key of the type `sample` has; false when the text does not
// read as one.
bool SeekValue(const std::string& text, const Value& sample, Value* out) {
  if (sample.is_number()) {
    char* end = nullptr;
    const double d = std::strtod(text.c_str(), &end);
    if (text.empty() || end == nullptr || *end != '\0') return false;
    const size_t point = text.find('.');
    const int decimals = point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
    *out = Value::Double(d, -1, decimals);
    return true;
  }
  if (sample.is_date()) {
    if (text.empty()) {
      *out = Value::Date(0);
      return true;
    }
    const int32_t day = DateFromDtos(text);
    if (day == 0 || text.size() != 8) return false;
    *out = Value::Date(day);
    return true;
  }
  if (sample.is_logical()) {
    if (text == "T" || text == "t" || text == ".T." || text == ".t.") {
      *out = Value::Logical(true);
    } else if (text == "F" || text == "f" || text == ".F." || text == ".f.") {
      *out = Value::Logical(false);
    } else {
      return false;
    }
    return true;
  }
  std::string bytes;
  if (!Utf8ToLatin1(text, &bytes)) return false;
  *out = Value::String(bytes);
  return true;
}

class SeekCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("FILE", file_, "table file")->required();
    sub.add_option("NTX", index_, "index file")->required();
    sub.add_option("VALUE", value_, "value to seek")->required();
    sub.add_flag("--soft", soft_, "stop at the next greater key when there is no match");
    sub.add_flag("--last", last_, "go to the last of the matching keys");
  }

  int Run(const GlobalOptions& options, Io& io) override {
    EngineSession session;
    std::string message;
    NtxArea* area = OpenIndexedTable(file_, index_, options, session, &message);
    if (area == nullptr) return Fail(io, message);
    // The key's value on the current record tells how to read VALUE.
    expr::SyntaxError syntax;
    const std::string key_text = DBORDERINFO(2).str();
    std::shared_ptr<const expr::Program> program = expr::Compile(key_text, &syntax);
    if (program == nullptr) return Fail(io, "the key expression does not compile: " + key_text);
    expr::WorkAreaContext ctx;
    const Value sample = expr::Run(*program, ctx);
    Value value;
    if (!SeekValue(value_, sample, &value)) {
      return Fail(io, "\"" + value_ + "\" is not a value of the index's key type (" +
                          std::string(1, sample.TypeLetter()) + ")");
    }
    const bool found = DBSEEK(value, soft_, last_);
    if (session.failed()) return Fail(io, session.FirstError());
    io.out << "{\"found\":" << (found ? "true" : "false") << ",\"recno\":" << RECNO()
           << ",\"eof\":" << (EOF_() ? "true" : "false") << "}\n";
    return 0;
  }

 private:
  std::string file_;
  std::string index_;
  std::string value_;
  bool soft_ = false;
  bool last_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeSeekCommand() {
  return std::make_unique<SeekCommand>();
}

}  // namespace px::pxdb
