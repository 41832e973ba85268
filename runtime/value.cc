#include "runtime/value.h"

#include <cmath>
#include <limits>

#include "runtime/date.h"

namespace px {

Value CodeBlock::Eval(const std::vector<Value>& args) const {
  return fn_ ? fn_(args) : Value();
}

Value CodeBlock::Eval() const {
  return Eval(std::vector<Value>());
}

Value Value::Logical(bool b) {
  Value v;
  v.type_ = Type::kLogical;
  v.u_.logical = b;
  return v;
}

Value Value::Integer(int64_t i, int width) {
  Value v;
  v.type_ = Type::kNumber;
  v.is_double_ = false;
  if (width < 0) width = (i > 9999999999LL || i < -999999999LL) ? 20 : 10;
  v.width_ = static_cast<int16_t>(width);
  v.decimals_ = 0;
  v.u_.integer = i;
  return v;
}

Value Value::Double(double d, int width, int decimals) {
  Value v;
  v.type_ = Type::kNumber;
  v.is_double_ = true;
  if (decimals < 0) decimals = 0;
  if (width < 0) width = 10 + (decimals > 0 ? decimals + 1 : 0);
  v.width_ = static_cast<int16_t>(width);
  v.decimals_ = static_cast<int16_t>(decimals);
  v.u_.number = d;
  return v;
}

Value Value::Date(int32_t julian_day) {
  Value v;
  v.type_ = Type::kDate;
  v.u_.date = julian_day;
  return v;
}

Value Value::String(std::string s) {
  Value v;
  new (&v.u_.str) std::string(std::move(s));
  v.type_ = Type::kCharacter;
  return v;
}

Value Value::Memo(std::string s) {
  Value v;
  new (&v.u_.str) std::string(std::move(s));
  v.type_ = Type::kMemo;
  return v;
}

Value Value::Array(std::vector<Value> items) {
  Value v;
  new (&v.u_.array)
      std::shared_ptr<std::vector<Value>>(std::make_shared<std::vector<Value>>(std::move(items)));
  v.type_ = Type::kArray;
  return v;
}

Value Value::Block(std::shared_ptr<const CodeBlock> block) {
  Value v;
  new (&v.u_.block) std::shared_ptr<const CodeBlock>(std::move(block));
  v.type_ = Type::kBlock;
  return v;
}

Value Value::MakeObject(std::shared_ptr<Object> object) {
  Value v;
  new (&v.u_.object) std::shared_ptr<Object>(std::move(object));
  v.type_ = Type::kObject;
  return v;
}

int64_t Value::DoubleToInteger(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
  if (d <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(d);
}

void Value::ReplaceShared(std::string s) noexcept {
  Reset();
  new (&u_.str) std::string(std::move(s));
}

void Value::DestroyShared() noexcept {
  switch (type_) {
    case Type::kArray:
      u_.array.~shared_ptr();
      break;
    case Type::kBlock:
      u_.block.~shared_ptr();
      break;
    case Type::kObject:
      u_.object.~shared_ptr();
      break;
    default:
      break;
  }
}

void Value::CopyShared(const Value& other) noexcept {
  switch (other.type_) {
    case Type::kArray:
      new (&u_.array) std::shared_ptr<std::vector<Value>>(other.u_.array);
      break;
    case Type::kBlock:
      new (&u_.block) std::shared_ptr<const CodeBlock>(other.u_.block);
      break;
    case Type::kObject:
      new (&u_.object) std::shared_ptr<Object>(other.u_.object);
      break;
    default:
      break;
  }
}

void Value::MoveShared(Value& other) noexcept {
  switch (other.type_) {
    case Type::kArray:
      new (&u_.array) std::shared_ptr<std::vector<Value>>(std::move(other.u_.array));
      break;
    case Type::kBlock:
      new (&u_.block) std::shared_ptr<const CodeBlock>(std::move(other.u_.block));
      break;
    case Type::kObject:
      new (&u_.object) std::shared_ptr<Object>(std::move(other.u_.object));
      break;
    default:
      break;
  }
}

const std::string& Value::EmptyString() {
  static const std::string kEmpty;
  return kEmpty;
}

const std::vector<Value>& Value::array() const {
  static const std::vector<Value> kEmpty;
  return (type_ != Type::kArray || !u_.array) ? kEmpty : *u_.array;
}

std::vector<Value>& Value::mutable_array() {
  if (type_ != Type::kArray || !u_.array) {
    auto items = std::make_shared<std::vector<Value>>();
    Reset();
    new (&u_.array) std::shared_ptr<std::vector<Value>>(std::move(items));
    type_ = Type::kArray;
    is_double_ = false;
    width_ = 0;
    decimals_ = 0;
  }
  return *u_.array;
}

const std::shared_ptr<const CodeBlock>& Value::block() const {
  static const std::shared_ptr<const CodeBlock> kNone;
  return type_ == Type::kBlock ? u_.block : kNone;
}

const std::shared_ptr<Object>& Value::object() const {
  static const std::shared_ptr<Object> kNone;
  return type_ == Type::kObject ? u_.object : kNone;
}

Value Value::WithFormat(int width, int decimals) const {
  Value v = *this;
  if (v.type_ == Type::kNumber) {
    v.width_ = static_cast<int16_t>(width);
    v.decimals_ = static_cast<int16_t>(decimals);
  }
  return v;
}

char Value::TypeLetter() const {
  switch (type_) {
    case Type::kNil:
      return 'U';
    case Type::kLogical:
      return 'L';
    case Type::kNumber:
      return 'N';
    case Type::kDate:
      return 'D';
    case Type::kCharacter:
      return 'C';
    case Type::kMemo:
      return 'M';
    case Type::kArray:
      return 'A';
    case Type::kBlock:
      return 'B';
    case Type::kObject:
      return 'O';
  }
  return 'U';
}

bool operator==(const Value& a, const Value& b) {
  if (a.type_ != b.type_) return false;
  switch (a.type_) {
    case Value::Type::kNil:
      return true;
    case Value::Type::kLogical:
      return a.logical() == b.logical();
    case Value::Type::kNumber:
      if (a.is_integer() && b.is_integer()) return a.integer() == b.integer();
      return a.number() == b.number();
    case Value::Type::kDate:
      return a.date() == b.date();
    case Value::Type::kCharacter:
    case Value::Type::kMemo:
      return a.str() == b.str();
    case Value::Type::kArray:
      return a.array() == b.array();
    case Value::Type::kBlock:
      return a.block() == b.block();
    case Value::Type::kObject:
      return a.object() == b.object();
  }
  return false;
}

std::string DebugString(const Value& v) {
  std::string out(1, v.TypeLetter());
  out += ':';
  switch (v.type()) {
    case Value::Type::kNil:
      return out + "NIL";
    case Value::Type::kLogical:
      return out + (v.logical() ? ".T." : ".F.");
    case Value::Type::kNumber:
      if (v.is_integer()) return out + std::to_string(v.integer());
      return out + std::to_string(v.number());
    case Value::Type::kDate:
      return out + DateToDtos(v.date());
    case Value::Type::kCharacter:
    case Value::Type::kMemo:
      return out + '"' + v.str() + '"';
    case Value::Type::kArray: {
      out += '{';
      bool first = true;
      for (const Value& item : v.array()) {
        if (!first) out += ", ";
        first = false;
        out += DebugString(item);
      }
      return out + '}';
    }
    case Value::Type::kBlock:
      return out + "{||" + (v.block() ? v.block()->text() : std::string()) + "}";
    case Value::Type::kObject:
      return out + (v.object() ? v.object()->ClassName() : std::string("?"));
  }
  return out;
}

}  // namespace px
