#include "runtime/date.h"

#include <cstring>

namespace px {

namespace {

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (m == 2 && IsLeap(y)) ? 29 : kDays[m - 1];
}

// The split of a day number above 0, in unsigned arithmetic of type U (every step's
// value is positive).
template <typename U>
void SplitDay(U jd, int* year, int* month, int* day) {
  const U a = jd + 32044;
  const U b = (4 * a + 3) / 146097;
  const U c = a - 146097 * b / 4;
  const U d = (4 * c + 3) / 1461;
  const U e = c - 1461 * d / 4;
  const U m = (5 * e + 2) / 153;
  *day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
  *month = static_cast<int>(m + 3 - 12 * (m / 10));
  *year = static_cast<int>(static_cast<int64_t>(100 * b + d + m / 10) - 4800);
}

}  // namespace

int32_t DateFromYmd(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return 0;
  }
  // Fliegel and Van Flandern's day-number formula for the Gregorian calendar.
  const int a = (14 - month) / 12;
  const int y = year + 4800 - a;
  const int m = month + 12 * a - 3;
  return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

void DateToYmd(int32_t jd, int* year, int* month, int* day) {
  if (jd <= 0) {
    *year = *month = *day = 0;
  } else if (jd < 100000000) {
    // 32-bit steps cannot overflow below this bound (years up to about 270,000) and
    // divide faster.
    SplitDay(static_cast<uint32_t>(jd), year, month, day);
  } else {
    SplitDay(static_cast<uint64_t>(jd), year, month, day);
  }
}

void DateToDtos(int32_t jd, char out[8]) {
  int y, m, d;
  DateToYmd(jd, &y, &m, &d);
  if (jd <= 0 || y < 1 || y > 9999) {
    std::memset(out, ' ', 8);
    return;
  }
  const unsigned year = static_cast<unsigned>(y), month = static_cast<unsigned>(m),
                 mday = static_cast<unsigned>(d);
  const unsigned century = year / 100, rest = year % 100;
  out[0] = static_cast<char>('0' + century / 10);
  out[1] = static_cast<char>('0' + century % 10);
  out[2] = static_cast<char>('0' + rest / 10);
  out[3] = static_cast<char>('0' + rest % 10);
  out[4] = static_cast<char>('0' + month / 10);
  out[5] = static_cast<char>('0' + month % 10);
  out[6] = static_cast<char>('0' + mday / 10);
  out[7] = static_cast<char>('0' + mday % 10);
}

std::string DateToDtos(int32_t jd) {
  char text[8];
  DateToDtos(jd, text);
  return std::string(text, 8);
}

int32_t DateFromDtos(std::string_view text) {
  if (text.size() < 8) return 0;
  int digits[8];
  for (int i = 0; i < 8; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return 0;
    digits[i] = c - '0';
  }
  const int y = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
  const int m = digits[4] * 10 + digits[5];
  const int d = digits[6] * 10 + digits[7];
  return DateFromYmd(y, m, d);
}

int DateDow(int32_t jd) {
  if (jd <= 0) return 0;
  return static_cast<int>((jd + 1) % 7) + 1;
}

}  // namespace px
