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
  v.data_ = b;
  return v;
}

Value Value::Integer(int64_t i, int width) {
  Value v;
  v.type_ = Type::kNumber;
  v.is_double_ = false;
  if (width < 0) width = (i > 9999999999LL || i < -999999999LL) ? 20 : 10;
  v.width_ = static_cast<int16_t>(width);
  v.decimals_ = 0;
  v.data_ = i;
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
  v.data_ = d;
  return v;
}

Value Value::Date(int32_t julian_day) {
  Value v;
  v.type_ = Type::kDate;
  v.data_ = julian_day;
  return v;
}

Value Value::String(std::string s) {
  Value v;
  v.type_ = Type::kCharacter;
  v.data_ = std::move(s);
  return v;
}

Value Value::Memo(std::string s) {
  Value v;
  v.type_ = Type::kMemo;
  v.data_ = std::move(s);
  return v;
}

Value Value::Array(std::vector<Value> items) {
  Value v;
  v.type_ = Type::kArray;
  v.data_ = std::make_shared<std::vector<Value>>(std::move(items));
  return v;
}

Value Value::Block(std::shared_ptr<const CodeBlock> block) {
  Value v;
  v.type_ = Type::kBlock;
  v.data_ = std::move(block);
  return v;
}

Value Value::MakeObject(std::shared_ptr<Object> object) {
  Value v;
  v.type_ = Type::kObject;
  v.data_ = std::move(object);
  return v;
}

bool Value::logical() const {
  const bool* b = std::get_if<bool>(&data_);
  return b != nullptr && *b;
}

double Value::number() const {
  if (const double* d = std::get_if<double>(&data_)) return *d;
  if (const int64_t* i = std::get_if<int64_t>(&data_)) return static_cast<double>(*i);
  return 0.0;
}

int64_t Value::integer() const {
  if (const int64_t* i = std::get_if<int64_t>(&data_)) return *i;
  if (const double* d = std::get_if<double>(&data_)) {
    if (std::isnan(*d)) return 0;
    if (*d >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
    if (*d <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(*d);
  }
  return 0;
}

int32_t Value::date() const {
  const int32_t* d = std::get_if<int32_t>(&data_);
  return d == nullptr ? 0 : *d;
}

const std::string& Value::EmptyString() {
  static const std::string kEmpty;
  return kEmpty;
}

std::string* Value::mutable_str() {
  return std::get_if<std::string>(&data_);
}

const std::vector<Value>& Value::array() const {
  static const std::vector<Value> kEmpty;
  const auto* a = std::get_if<std::shared_ptr<std::vector<Value>>>(&data_);
  return (a == nullptr || !*a) ? kEmpty : **a;
}

std::vector<Value>& Value::mutable_array() {
  auto* a = std::get_if<std::shared_ptr<std::vector<Value>>>(&data_);
  if (a == nullptr) {
    type_ = Type::kArray;
    data_ = std::make_shared<std::vector<Value>>();
    a = std::get_if<std::shared_ptr<std::vector<Value>>>(&data_);
  }
  return **a;
}

const std::shared_ptr<const CodeBlock>& Value::block() const {
  static const std::shared_ptr<const CodeBlock> kNone;
  const auto* b = std::get_if<std::shared_ptr<const CodeBlock>>(&data_);
  return b == nullptr ? kNone : *b;
}

const std::shared_ptr<Object>& Value::object() const {
  static const std::shared_ptr<Object> kNone;
  const auto* o = std::get_if<std::shared_ptr<Object>>(&data_);
  return o == nullptr ? kNone : *o;
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
