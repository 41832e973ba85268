#include "engine/dbf/field_codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "engine/dbf/number_text.h"
#include "runtime/date.h"

namespace px {

namespace {

uint64_t GetLe(const char* p, uint32_t n) {
  uint64_t v = 0;
  for (uint32_t i = 0; i < n; ++i)
    v |= static_cast<uint64_t>(static_cast<uint8_t>(p[i])) << (8 * i);
  return v;
}

void PutLe(char* p, uint64_t v, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) p[i] = static_cast<char>(static_cast<uint8_t>(v >> (8 * i)));
}

Value DecodeNumeric(const DbfField& f, std::string_view text) {
  const int len = static_cast<int>(f.len);
  const int dec = static_cast<int>(f.dec);
  if (dec > 0) return Value::Double(ParseNumberText(text), std::max(0, len - dec - 1), dec);
  if (len < 10) return Value::Integer(ParseIntegerText(text), len);
  return Value::Double(ParseNumberText(text), len, 0);
}

Value DecodeInteger(const DbfField& f, const char* bytes) {
  switch (f.len) {
    case 2:
      return Value::Integer(static_cast<int16_t>(GetLe(bytes, 2)), 10);
    case 8:
      return Value::Integer(static_cast<int64_t>(GetLe(bytes, 8)), 20);
    default:
      return Value::Integer(static_cast<int32_t>(GetLe(bytes, 4)), 10);
  }
}

// The integer an I field stores for a number: doubles are rounded half away from zero.
// False when the number needs more bytes than the field has.
bool IntegerForField(const Value& v, uint32_t len, int64_t* out) {
  int64_t n;
  if (v.is_integer()) {
    n = v.integer();
  } else {
    const double r = std::round(v.number());
    // 2^63 is exactly representable; every double below it converts without overflow.
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) return false;
    n = static_cast<int64_t>(r);
  }
  if (len == 2 && (n < -32768 || n > 32767)) return false;
  if (len == 4 && (n < INT32_MIN || n > INT32_MAX)) return false;
  *out = n;
  return true;
}

}  // namespace

Value DecodeField(const DbfField& f, const char* bytes) {
  switch (f.kind) {
    case 'C':
      return Value::String(std::string(bytes, f.len));
    case 'N':
      return DecodeNumeric(f, std::string_view(bytes, f.len));
    case 'D':
      if (f.len == 3) return Value::Date(static_cast<int32_t>(GetLe(bytes, 3)));
      return Value::Date(DateFromDtos(std::string_view(bytes, f.len)));
    case 'L': {
      const char c = f.len > 0 ? bytes[0] : ' ';
      return Value::Logical(c == 'T' || c == 't' || c == 'Y' || c == 'y');
    }
    case 'B': {
      double d;
      const uint64_t bits = GetLe(bytes, 8);
      std::memcpy(&d, &bits, sizeof d);
      if (f.dec > 0) {
        const int dec = static_cast<int>(f.dec);
        return Value::Double(d, std::max(0, 20 - (dec + 1)), dec);
      }
      return Value::Double(d, 20, 0);
    }
    case 'I':
      return DecodeInteger(f, bytes);
    case 'M':
    default:
      return Value::Memo(std::string());
  }
}

EncodeResult EncodeField(const DbfField& f, const Value& v, char* bytes) {
  switch (f.kind) {
    case 'C': {
      if (!v.is_string()) return EncodeResult::kDataType;
      const std::string& s = v.str();
      const size_t n = std::min<size_t>(s.size(), f.len);
      std::memcpy(bytes, s.data(), n);
      std::memset(bytes + n, ' ', f.len - n);
      return EncodeResult::kOk;
    }
    case 'N':
      if (!v.is_number()) return EncodeResult::kDataType;
      return FormatNumberText(v, static_cast<int>(f.len), static_cast<int>(f.dec), bytes)
                 ? EncodeResult::kOk
                 : EncodeResult::kDataWidth;
    case 'I': {
      if (!v.is_number()) return EncodeResult::kDataType;
      int64_t n;
      if (!IntegerForField(v, f.len, &n)) return EncodeResult::kDataWidth;
      PutLe(bytes, static_cast<uint64_t>(n), f.len);
      return EncodeResult::kOk;
    }
    case 'B': {
      if (!v.is_number()) return EncodeResult::kDataType;
      const double d = v.number();
      uint64_t bits;
      std::memcpy(&bits, &d, sizeof bits);
      PutLe(bytes, bits, 8);
      return EncodeResult::kOk;
    }
    case 'D': {
      if (!v.is_date()) return EncodeResult::kDataType;
      if (f.len == 3) {
        const int32_t jd = v.date();
        PutLe(bytes, static_cast<uint64_t>(jd > 0 && jd <= 0xFFFFFF ? jd : 0), 3);
      } else {
        const std::string text = DateToDtos(v.date());
        std::memcpy(bytes, text.data(), std::min<size_t>(8, f.len));
      }
      return EncodeResult::kOk;
    }
    case 'L':
      if (!v.is_logical()) return EncodeResult::kDataType;
      if (f.len > 0) bytes[0] = v.logical() ? 'T' : 'F';
      return EncodeResult::kOk;
    case 'M':
    default:
      return EncodeResult::kDataType;
  }
}

}  // namespace px
