#include "engine/dbf/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace px {

namespace {

constexpr int kBlank = -1;
constexpr int kSignificant = 16;

bool Overflow(int width, char* out) {
  if (width > 0) std::memset(out, '*', static_cast<size_t>(width));
  return false;
}

// Produces the digits of a fraction left to right: multiply by 10, take the whole part.
class FractionDigits {
 public:
  explicit FractionDigits(double fraction) : fraction_(fraction) {}
  int Next() {
    fraction_ *= 10;
    double whole = std::floor(fraction_);
    if (whole < 0) whole = 0;
    if (whole > 9) whole = 9;
    fraction_ -= whole;
    return static_cast<int>(whole);
  }

 private:
  double fraction_;
};

}  // namespace

bool FormatIntegerText(int64_t value, int width, int decimals, char* out) {
  if (width <= 0) return Overflow(width, out);
  const bool has_point = decimals > 0;
  const int int_len = has_point ? width - decimals - 1 : width;
  if (int_len < 0) return Overflow(width, out);
  const bool negative = value < 0;
  uint64_t magnitude =
      negative ? static_cast<uint64_t>(-(value + 1)) + 1 : static_cast<uint64_t>(value);
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (n + (negative ? 1 : 0) > int_len) return Overflow(width, out);
  std::memset(out, ' ', static_cast<size_t>(width));
  int pos = int_len - 1;
  for (int i = 0; i < n; ++i) out[pos--] = digits[i];
  if (negative) out[pos] = '-';
  if (has_point) {
    out[int_len] = '.';
    std::memset(out + int_len + 1, '0', static_cast<size_t>(decimals));
  }
  return true;
}

bool FormatDoubleText(double x, int w, int d, char* out) {
  if (w <= 0 || !std::isfinite(x)) return Overflow(w, out);
  const bool has_point = d > 0;
  // Index of the decimal point; without decimals every position is integer part.
  const int point = has_point ? w - d - 1 : w;
  if (point < 0) return Overflow(w, out);

  const bool negative = x < 0;
  const double a = std::fabs(x);
  double ip = std::floor(a);
  FractionDigits fraction(a - ip);

  // Digit per position (kBlank for a blank); fields are at most 255 wide, so the
  // buffer lives on the stack unless a caller asks for more.
  int small[256];
  std::vector<int> large;
  int* dig = small;
  if (w > 256) {
    large.assign(static_cast<size_t>(w), kBlank);
    dig = large.data();
  } else {
    std::fill(small, small + w, kBlank);
  }
  int f = -1;  // the leftmost significant position (see below)

  // Integer digits from the right; adding 0.01 before taking the whole part of ip / 10
  // keeps an exact multiple of ten from losing a unit to binary rounding.
  int pos = point - 1;
  do {
    if (pos < 0) return Overflow(w, out);
    const double q = std::floor(ip / 10 + 0.01);
    int digit = static_cast<int>(std::floor(ip - q * 10 + 0.5));
    if (digit < 0) digit = 0;
    if (digit > 9) digit = 9;
    dig[pos] = digit;
    if (digit != 0) f = pos;
    --pos;
    ip = q;
  } while (ip >= 1);

  // Decimal digits, left to right, until 16 significant positions are produced. For a
  // number below 1, f is one position left of its first non-zero decimal digit, so that
  // the positions between f and the current one are the significant ones either way.
  int produced = 0;
  if (has_point) {
    for (int p = point + 1; p < w; ++p) {
      if (f >= 0 && p - f - 1 >= kSignificant) break;
      const int digit = fraction.Next();
      dig[p] = digit;
      ++produced;
      if (f < 0 && digit != 0) f = p - 1;
    }
  }

  // z: positions beyond 16 significant digits (0 when no significant digit was seen).
  int z = f < 0 ? 0 : w - f - kSignificant - (has_point ? 1 : 0);
  int rounding = fraction.Next();
  // The first decimal position, when not produced, still holds its digit for the walk.
  if (has_point && produced == 0) dig[point + 1] = rounding;
  if (rounding == 4 && z < 0) {
    // A 4 followed by nines and then 2 or more is a 5 that binary rounding pulled below.
    const int n = -z;
    bool nines = true;
    int last = 0;
    for (int i = 0; i < n; ++i) {
      last = fraction.Next();
      if (i < n - 1 && last != 9) nines = false;
    }
    if (nines && last >= 2) rounding = 5;
  }
  bool round_up = rounding >= 5;

  // Walk from the right: zero the positions beyond the significant digits (each integer
  // or first decimal position decides the rounding afresh), then carry.
  int p = w - 1;
  for (;;) {
    if (has_point && p == point) {
      --p;
      continue;
    }
    if (p < 0) {
      if (round_up) return Overflow(w, out);
      break;
    }
    if (z > 0) {
      const int held = dig[p];
      dig[p] = 0;
      --z;
      if (p < point || p == point + 1 || !has_point) round_up = held >= 5;
      --p;
      continue;
    }
    if (!round_up) break;
    if (dig[p] == 9) {
      dig[p] = 0;
      --p;
      continue;
    }
    dig[p] = dig[p] == kBlank ? 1 : dig[p] + 1;
    break;
  }

  // The sign goes left of the leftmost significant digit, or two positions left of the
  // point when the integer part is zero. A number that comes out as zero has no sign.
  if (negative) {
    int lead = -1;
    bool nonzero = false;
    for (int i = 0; i < w; ++i) {
      if (has_point && i == point) continue;
      if (dig[i] > 0) nonzero = true;
      if (lead < 0 && i < point && dig[i] != kBlank) lead = i;
    }
    if (nonzero) {
      int sign_pos;
      if (lead >= 0 && dig[lead] != 0) {
        sign_pos = lead - 1;
      } else {
        sign_pos = point - 2;
      }
      if (sign_pos < 0) return Overflow(w, out);
      dig[sign_pos] = -2;
    }
  }

  for (int i = 0; i < w; ++i) {
    if (has_point && i == point) {
      out[i] = '.';
    } else if (dig[i] == kBlank) {
      out[i] = ' ';
    } else if (dig[i] == -2) {
      out[i] = '-';
    } else {
      out[i] = static_cast<char>('0' + dig[i]);
    }
  }
  return true;
}

bool FormatNumberText(const Value& number, int width, int decimals, char* out) {
  if (number.is_integer()) return FormatIntegerText(number.integer(), width, decimals, out);
  if (number.width() == Value::kOverflowWidth) return Overflow(width, out);
  return FormatDoubleText(number.number(), width, decimals, out);
}

std::string NumberText(const Value& number, int width, int decimals, bool* fits) {
  std::string s(static_cast<size_t>(width > 0 ? width : 0), ' ');
  const bool ok = FormatNumberText(number, width, decimals, s.data());
  if (fits != nullptr) *fits = ok;
  return s;
}

namespace {

// The span of a number at the start of text: blanks skipped, sign, digits, one point,
// digits. Returns the number's characters without the sign; *negative tells the sign.
std::string_view NumberSpan(std::string_view text, bool* negative, bool* has_digits) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                             text[i] == '\r' || text[i] == '\v' || text[i] == '\f')) {
    ++i;
  }
  *negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    *negative = text[i] == '-';
    ++i;
  }
  const size_t start = i;
  *has_digits = false;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    ++i;
    *has_digits = true;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      ++i;
      *has_digits = true;
    }
  }
  return text.substr(start, i - start);
}

}  // namespace

double ParseNumberText(std::string_view text) {
  bool negative = false, has_digits = false;
  std::string_view span = NumberSpan(text, &negative, &has_digits);
  if (!has_digits) return 0.0;
  double value = 0.0;
  std::string buf(span);
  if (buf.front() == '.') buf.insert(buf.begin(), '0');
  if (buf.back() == '.') buf.pop_back();
  auto result = std::from_chars(buf.data(), buf.data() + buf.size(), value);
  if (result.ec != std::errc()) {
    // Out of range: the text is all digits, so only a huge magnitude gets here.
    value = std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

int64_t ParseIntegerText(std::string_view text) {
  bool negative = false, has_digits = false;
  std::string_view span = NumberSpan(text, &negative, &has_digits);
  uint64_t magnitude = 0;
  bool saturated = false;
  for (char c : span) {
    if (c < '0' || c > '9') break;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
      saturated = true;
      break;
    }
    magnitude = magnitude * 10 + digit;
  }
  constexpr uint64_t kMaxPositive = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (negative) {
    if (saturated || magnitude > kMaxPositive + 1) return std::numeric_limits<int64_t>::min();
    return magnitude == kMaxPositive + 1 ? std::numeric_limits<int64_t>::min()
                                         : -static_cast<int64_t>(magnitude);
  }
  if (saturated || magnitude > kMaxPositive) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(magnitude);
}

}  // namespace px
