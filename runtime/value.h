// The dynamically typed value that fields, memory variables and expressions hold.
//
// A Value is one of: nil, logical, number, date, character string, memo text, array,
// code block or object. Numbers are kept either as a 64-bit integer or as a double and
// carry a display width and a number of decimals, which decide how they are shown and
// how they become numeric keys. Strings are byte strings: characters are bytes, stored
// and compared as they are. Dates are Julian day numbers, 0 being the empty date.
//
// Arrays and objects have reference semantics (copying a Value shares them), like the
// arrays of the system's language; everything else is copied.
#ifndef PX_RUNTIME_VALUE_H_
#define PX_RUNTIME_VALUE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace px {

class Value;

// A compiled piece of code that can be evaluated later: a key expression, a progress
// callback, a filter. Arguments are passed as Values.
class CodeBlock {
 public:
  using Fn = std::function<Value(const std::vector<Value>& args)>;
  CodeBlock(Fn fn, std::string text) : fn_(std::move(fn)), text_(std::move(text)) {}
  Value Eval(const std::vector<Value>& args) const;
  Value Eval() const;
  // The source text the block was made from; may be empty.
  const std::string& text() const { return text_; }

 private:
  Fn fn_;
  std::string text_;
};

// An object of the user interface or of the application (a window, a font) held in a
// Value. Only its class name is visible to the engine.
class Object {
 public:
  virtual ~Object() = default;
  virtual std::string ClassName() const = 0;
};

class Value {
 public:
  enum class Type : uint8_t {
    kNil,
    kLogical,
    kNumber,
    kDate,
    kCharacter,
    kMemo,
    kArray,
    kBlock,
    kObject,
  };

  // Overflow mark of the arithmetic layer: a double whose display width is 99 did not
  // fit any width and is written as asterisks.
  static constexpr int kOverflowWidth = 99;

  Value() = default;  // nil

  static Value Logical(bool b);
  // An integer number. width < 0 picks the default: 10, or 20 when the value needs
  // more than 10 digits and sign.
  static Value Integer(int64_t v, int width = -1);
  // A double number with its display width and decimals. width < 0 picks 10 plus the
  // decimals and point; decimals < 0 picks 0.
  static Value Double(double v, int width = -1, int decimals = -1);
  static Value Date(int32_t julian_day);
  static Value String(std::string s);
  static Value Memo(std::string s);
  static Value Array(std::vector<Value> items = {});
  static Value Block(std::shared_ptr<const CodeBlock> block);
  static Value MakeObject(std::shared_ptr<Object> object);

  Type type() const { return type_; }
  bool is_nil() const { return type_ == Type::kNil; }
  bool is_logical() const { return type_ == Type::kLogical; }
  bool is_number() const { return type_ == Type::kNumber; }
  bool is_integer() const { return type_ == Type::kNumber && !is_double_; }
  bool is_double() const { return type_ == Type::kNumber && is_double_; }
  bool is_date() const { return type_ == Type::kDate; }
  bool is_char() const { return type_ == Type::kCharacter; }
  bool is_memo() const { return type_ == Type::kMemo; }
  // Character string or memo text.
  bool is_string() const { return type_ == Type::kCharacter || type_ == Type::kMemo; }
  bool is_array() const { return type_ == Type::kArray; }
  bool is_block() const { return type_ == Type::kBlock; }
  bool is_object() const { return type_ == Type::kObject; }

  // Accessors. Each requires the matching type; a mismatch yields a neutral value
  // (false, 0, empty) rather than undefined behaviour.
  bool logical() const;
  // The number as a double (integers are converted).
  double number() const;
  // The number as an integer (doubles are truncated toward zero; out-of-range clamps).
  int64_t integer() const;
  int width() const { return width_; }
  int decimals() const { return decimals_; }
  int32_t date() const;
  const std::string& str() const {
    const std::string* s = std::get_if<std::string>(&data_);
    return s != nullptr ? *s : EmptyString();
  }
  // The string of a character or memo value for changing it in place; nullptr for
  // other types.
  std::string* mutable_str();
  const std::vector<Value>& array() const;
  std::vector<Value>& mutable_array();
  const std::shared_ptr<const CodeBlock>& block() const;
  const std::shared_ptr<Object>& object() const;

  // Makes this value the character string s in place (cheaper than assigning a new
  // Value when the type changes).
  void SetString(std::string&& s) {
    type_ = Type::kCharacter;
    is_double_ = false;
    width_ = 0;
    decimals_ = 0;
    data_.emplace<std::string>(std::move(s));
  }

  // Same number with another display width / decimals.
  Value WithFormat(int width, int decimals) const;

  // The one-letter type code of the language: U, L, N, D, C, M, A, B, O.
  char TypeLetter() const;

  // Structural equality for tests and look-ups: same type and same content (numbers
  // compare by value, not by width).
  friend bool operator==(const Value& a, const Value& b);

 private:
  static const std::string& EmptyString();

  Type type_ = Type::kNil;
  bool is_double_ = false;
  int16_t width_ = 0;
  int16_t decimals_ = 0;
  std::variant<std::monostate, bool, int64_t, double, int32_t, std::string,
               std::shared_ptr<std::vector<Value>>, std::shared_ptr<const CodeBlock>,
               std::shared_ptr<Object>>
      data_;
};

// Short debugging form, e.g. C:"abc", N:12, D:20240101, L:.T., U:NIL.
std::string DebugString(const Value& v);

}  // namespace px

#endif  // PX_RUNTIME_VALUE_H_
