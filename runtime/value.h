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
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
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

  Value() noexcept {}  // nil
  Value(const Value& other) : Value() { CopyFrom(other); }
  Value(Value&& other) noexcept : Value() { MoveFrom(other); }
  Value& operator=(const Value& other) {
    if (this != &other) {
      Value copy(other);  // may throw; this stays as it was
      Reset();
      MoveFrom(copy);
    }
    return *this;
  }
  Value& operator=(Value&& other) noexcept {
    if (this != &other) {
      Reset();
      MoveFrom(other);
    }
    return *this;
  }
  ~Value() { Reset(); }

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
  bool logical() const { return type_ == Type::kLogical && u_.logical; }
  // The number as a double (integers are converted).
  double number() const {
    if (type_ != Type::kNumber) return 0.0;
    return is_double_ ? u_.number : static_cast<double>(u_.integer);
  }
  // The number as an integer (doubles are truncated toward zero; out-of-range clamps).
  int64_t integer() const {
    if (type_ != Type::kNumber) return 0;
    return is_double_ ? DoubleToInteger(u_.number) : u_.integer;
  }
  int width() const { return width_; }
  int decimals() const { return decimals_; }
  int32_t date() const { return type_ == Type::kDate ? u_.date : 0; }
  const std::string& str() const { return is_string() ? u_.str : EmptyString(); }
  // The string of a character or memo value for changing it in place; nullptr for
  // other types.
  std::string* mutable_str() { return is_string() ? &u_.str : nullptr; }
  const std::vector<Value>& array() const;
  std::vector<Value>& mutable_array();
  const std::shared_ptr<const CodeBlock>& block() const;
  const std::shared_ptr<Object>& object() const;

  // Makes this value the character string s in place (cheaper than assigning a new
  // Value when the type changes).
  void SetString(std::string&& s) {
    if (is_string()) {
      u_.str = std::move(s);
    } else if (type_ > Type::kMemo) {
      ReplaceShared(std::string(std::move(s)));
    } else {
      new (&u_.str) std::string(std::move(s));  // a scalar owns nothing
    }
    MarkCharacter();
  }

  // Makes this value the character string text[0, size), reusing the storage of a
  // string it holds.
  void SetString(const char* text, size_t size) {
    if (is_string()) {
      u_.str.assign(text, size);
    } else if (type_ > Type::kMemo) {
      ReplaceShared(std::string(text, size));
    } else {
      new (&u_.str) std::string(text, size);  // a scalar owns nothing
    }
    MarkCharacter();
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
  static int64_t DoubleToInteger(double d);

  // Which member of the union is alive follows from type_ (and is_double_ for
  // numbers): the string for character and memo values, one of the shared pointers for
  // arrays, blocks and objects, a scalar for the rest. Copying, moving and destroying
  // switch on the type inline, which keeps the scalar cases (most values an expression
  // handles) free of calls.
  union Storage {
    Storage() noexcept : integer(0) {}
    ~Storage() {}
    bool logical;
    int64_t integer;
    double number;
    int32_t date;
    std::string str;
    std::shared_ptr<std::vector<Value>> array;
    std::shared_ptr<const CodeBlock> block;
    std::shared_ptr<Object> object;
  };

  // Destroys the alive member and makes the value nil.
  void Reset() noexcept {
    if (type_ == Type::kCharacter || type_ == Type::kMemo) {
      u_.str.~basic_string();
    } else if (type_ > Type::kMemo) {
      DestroyShared();
    }
    type_ = Type::kNil;
  }
  // Both require this value to be nil.
  void CopyFrom(const Value& other) {
    if (other.type_ == Type::kCharacter || other.type_ == Type::kMemo) {
      new (&u_.str) std::string(other.u_.str);
    } else if (other.type_ > Type::kMemo) {
      CopyShared(other);
    } else {
      CopyScalar(other);
    }
    CopyHeader(other);
  }
  void MoveFrom(Value& other) noexcept {
    if (other.type_ == Type::kCharacter || other.type_ == Type::kMemo) {
      new (&u_.str) std::string(std::move(other.u_.str));
    } else if (other.type_ > Type::kMemo) {
      MoveShared(other);
    } else {
      CopyScalar(other);
    }
    CopyHeader(other);
  }
  // Replaces an array, block or object with the string s. s is taken first: the text
  // it came from may live in the array that is let go of.
  void ReplaceShared(std::string s) noexcept;
  // The shared pointers of arrays, blocks and objects (value.cc).
  void DestroyShared() noexcept;
  void CopyShared(const Value& other) noexcept;
  void MoveShared(Value& other) noexcept;
  void CopyScalar(const Value& other) noexcept {
    // Whichever scalar it is: the union's first eight bytes.
    std::memcpy(static_cast<void*>(&u_), static_cast<const void*>(&other.u_), sizeof(int64_t));
  }
  // The header of a character string (its string already in place).
  void MarkCharacter() {
    type_ = Type::kCharacter;
    is_double_ = false;
    width_ = 0;
    decimals_ = 0;
  }
  void CopyHeader(const Value& other) {
    type_ = other.type_;
    is_double_ = other.is_double_;
    width_ = other.width_;
    decimals_ = other.decimals_;
  }

  Type type_ = Type::kNil;
  bool is_double_ = false;
  int16_t width_ = 0;
  int16_t decimals_ = 0;
  Storage u_;
};

// Short debugging form, e.g. C:"abc", N:12, D:20240101, L:.T., U:NIL.
std::string DebugString(const Value& v);

}  // namespace px

#endif  // PX_RUNTIME_VALUE_H_
