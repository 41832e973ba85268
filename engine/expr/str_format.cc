#include "engine/expr/str_format.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace px {

namespace {

constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

constexpr uint64_t kPow10Int[] = {1ULL,
                                  10ULL,
                                  100ULL,
                                  1000ULL,
                                  10000ULL,
                                  100000ULL,
                                  1000000ULL,
                                  10000000ULL,
                                  100000000ULL,
                                  1000000000ULL,
                                  10000000000ULL,
                                  100000000000ULL,
                                  1000000000000ULL,
                                  10000000000000ULL,
                                  100000000000000ULL,
                                  1000000000000000ULL,
                                  10000000000000000ULL,
                                  100000000000000000ULL,
                                  1000000000000000000ULL,
                                  10000000000000000000ULL};
// Digits of the largest 64-bit number.
constexpr int kMaxDigits = 20;

// round_half_away(magnitude * 10^decimals) when the scaled value is an exact integer
// range for doubles and lies clearly away from a rounding tie, so that taking the
// number as written cannot change the outcome; false otherwise.
bool FastUnits(double magnitude, int decimals, uint64_t* units) {
  if (decimals > 15) return false;
  const double scaled = magnitude * kPow10[decimals];
  if (!(scaled < 4e15)) return false;
  // 0 <= scaled < 4e15: the conversion truncates, which is the floor here.
  const uint64_t whole = static_cast<uint64_t>(scaled);
  const double frac = scaled - static_cast<double>(whole);
  if (!(std::fabs(frac - 0.5) > scaled * 4e-15 + 1e-300)) return false;
  *units = whole + (frac > 0.5 ? 1 : 0);
  return true;
}

// The magnitude of an integer, the smallest one included.
uint64_t Magnitude(int64_t value) {
  return value < 0 ? static_cast<uint64_t>(-(value + 1)) + 1 : static_cast<uint64_t>(value);
}

// Units of the last decimal of an integer when it takes the exact fast layout: at most
// 16 digits and 3 decimals.
bool IntegerUnits(int64_t value, int decimals, uint64_t* units) {
  const uint64_t magnitude = Magnitude(value);
  if (decimals > 3 || magnitude >= 10000000000000000ULL) return false;
  *units = magnitude * kPow10Int[decimals];
  return true;
}

// "00" to "99", for writing two digits per division.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the STR text of units of the last decimal into out[0, width); false (and
// nothing written) when it takes more than width characters.
bool LayoutUnitsInto(uint64_t units, bool negative, int width, int decimals, char* out) {
  // Characters needed: the digits (at least one before the point), point, sign.
  int digits = 1;
  while (digits < kMaxDigits && units >= kPow10Int[digits]) ++digits;
  if (digits < decimals + 1) digits = decimals + 1;
  const bool sign = negative && units != 0;
  const int len = digits + (decimals > 0 ? 1 : 0) + (sign ? 1 : 0);
  if (len > width) return false;
  // From the right: decimals, point, whole part two digits per division, sign, blanks.
  char* p = out + width;
  for (int i = 0; i < decimals; ++i) {
    *--p = static_cast<char>('0' + units % 10);
    units /= 10;
  }
  if (decimals > 0) *--p = '.';
  while (units >= 100) {
    const size_t pair = static_cast<size_t>(units % 100) * 2;
    units /= 100;
    p -= 2;
    p[0] = kDigitPairs[pair];
    p[1] = kDigitPairs[pair + 1];
  }
  if (units >= 10) {
    p -= 2;
    p[0] = kDigitPairs[units * 2];
    p[1] = kDigitPairs[units * 2 + 1];
  } else {
    *--p = static_cast<char>('0' + units);
  }
  if (sign) *--p = '-';
  while (p > out) *--p = ' ';
  return true;
}

// STR text of units of the last decimal.
std::string LayoutUnits(uint64_t units, bool negative, int width, int decimals) {
  std::string out(static_cast<size_t>(width), ' ');
  if (!LayoutUnitsInto(units, negative, width, decimals, out.data())) {
    out.assign(static_cast<size_t>(width), '*');
  }
  return out;
}

// Adds one to a string of decimal digits; false when that made it one digit longer
// ("999" becomes "1000").
bool RoundUp(std::string* digits) {
  size_t i = digits->size();
  while (i > 0 && (*digits)[i - 1] == '9') (*digits)[--i] = '0';
  if (i == 0) {
    digits->insert(digits->begin(), '1');
    return false;
  }
  ++(*digits)[i - 1];
  return true;
}

// The decimal digits of round_half_away(magnitude * 10^decimals), the magnitude taken
// as written (see above); "0" for zero. magnitude is finite and >= 0.
std::string RoundedDigits(double magnitude, int decimals) {
  if (magnitude == 0) return "0";
  // Exact path: the shortest decimal form that reads back as the same double (the
  // number as written), cut to 16 significant digits, rounded in decimal.
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof(buf), magnitude, std::chars_format::scientific);
  std::string mantissa;
  const char* p = buf;
  for (; p < res.ptr && *p != 'e'; ++p) {
    if (*p >= '0' && *p <= '9') mantissa += *p;
  }
  long exponent = 0;
  if (p < res.ptr) {
    const char* q = p + 1;
    const bool negative = q < res.ptr && *q == '-';
    if (q < res.ptr && (*q == '-' || *q == '+')) ++q;
    for (; q < res.ptr; ++q) exponent = exponent * 10 + (*q - '0');
    if (negative) exponent = -exponent;
  }
  if (mantissa.size() > 16) {
    const bool up = mantissa[16] >= '5';
    mantissa.resize(16);
    if (up && !RoundUp(&mantissa)) ++exponent;
  }
  // value * 10^decimals = mantissa * 10^(kept - mantissa length)
  const long kept = exponent + 1 + decimals;
  const long length = static_cast<long>(mantissa.size());
  if (kept >= length) {
    mantissa.append(static_cast<size_t>(kept - length), '0');
    return mantissa;
  }
  if (kept < 0) return "0";
  std::string digits = mantissa.substr(0, static_cast<size_t>(kept));
  if (mantissa[static_cast<size_t>(kept)] >= '5') RoundUp(&digits);
  const size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? "0" : digits.substr(first);
}

std::string Asterisks(int width) {
  return std::string(static_cast<size_t>(width < 1 ? 1 : width), '*');
}

// Lays out the digits of the scaled magnitude as STR text.
std::string Layout(std::string digits, bool negative, int width, int decimals) {
  if (decimals > 0) {
    if (digits.size() < static_cast<size_t>(decimals) + 1) {
      digits.insert(0, static_cast<size_t>(decimals) + 1 - digits.size(), '0');
    }
    digits.insert(digits.size() - static_cast<size_t>(decimals), 1, '.');
  }
  if (negative && digits.find_first_not_of("0.") != std::string::npos) digits.insert(0, 1, '-');
  if (digits.size() > static_cast<size_t>(width)) return Asterisks(width);
  digits.insert(0, static_cast<size_t>(width) - digits.size(), ' ');
  return digits;
}

}  // namespace

std::string STR(double value, int width, int decimals) {
  if (width < 1) width = 1;
  if (decimals < 0) decimals = 0;
  if (!std::isfinite(value)) return Asterisks(width);
  uint64_t units;
  if (FastUnits(std::fabs(value), decimals, &units)) {
    return LayoutUnits(units, value < 0, width, decimals);
  }
  return Layout(RoundedDigits(std::fabs(value), decimals), value < 0, width, decimals);
}

std::string STR(int64_t value, int width, int decimals) {
  if (width < 1) width = 1;
  if (decimals < 0) decimals = 0;
  uint64_t units;
  if (IntegerUnits(value, decimals, &units)) {
    return LayoutUnits(units, value < 0, width, decimals);
  }
  const uint64_t magnitude = Magnitude(value);
  if (magnitude >= 10000000000000000ULL) return STR(static_cast<double>(value), width, decimals);
  std::string digits = std::to_string(magnitude);
  if (decimals > 0 && magnitude != 0) digits.append(static_cast<size_t>(decimals), '0');
  return Layout(std::move(digits), value < 0, width, decimals);
}

void STRInto(const Value& number, int width, int decimals, char* out) {
  if (width < 1) width = 1;
  if (decimals < 0) decimals = 0;
  uint64_t units = 0;
  const bool fast = number.is_integer() ? IntegerUnits(number.integer(), decimals, &units)
                    : number.is_number()
                        ? std::isfinite(number.number()) &&
                              FastUnits(std::fabs(number.number()), decimals, &units)
                        : false;
  if (fast) {
    if (!LayoutUnitsInto(units, number.number() < 0, width, decimals, out)) {
      std::memset(out, '*', static_cast<size_t>(width));
    }
    return;
  }
  const std::string text = STR(number, width, decimals);
  std::memcpy(out, text.data(), static_cast<size_t>(width));
}

std::string STR(const Value& number, int width, int decimals) {
  if (number.is_integer()) return STR(number.integer(), width, decimals);
  if (number.is_number()) return STR(number.number(), width, decimals);
  return Asterisks(width);
}

std::string STR(const Value& number) {
  int width = number.width();
  if (width <= 0) width = 10;
  if (width > 90) width = 90;
  return STR(number, width, number.decimals());
}

std::string STRZERO(const std::string& str_text) {
  std::string out = str_text;
  const size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos || first == 0) return out;
  if (out[first] == '-') {
    for (size_t i = 1; i <= first; ++i) out[i] = '0';
    out[0] = '-';
  } else {
    for (size_t i = 0; i < first; ++i) out[i] = '0';
  }
  return out;
}

double RoundHalfAway(double value, int decimals) {
  if (!std::isfinite(value) || value == 0) return value;
  if (decimals > 300) return value;
  if (decimals < -300) return 0.0;
  std::string text = RoundedDigits(std::fabs(value), decimals);
  text += 'e';
  text += std::to_string(-decimals);
  double result = 0;
  std::from_chars(text.data(), text.data() + text.size(), result);
  return value < 0 ? -result : result;
}

}  // namespace px
