#include "runtime/date.h"

namespace px {

namespace {

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (m == 2 && IsLeap(y)) ? 29 : kDays[m - 1];
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
    return;
  }
  if (jd < 100000000) {
    // The same steps in unsigned 32-bit arithmetic, which cannot overflow for day
    // numbers below this bound (years up to about 270,000) and divides faster.
    const uint32_t a = static_cast<uint32_t>(jd) + 32044;
    const uint32_t b = (4 * a + 3) / 146097;
    const uint32_t c = a - 146097 * b / 4;
    const uint32_t d = (4 * c + 3) / 1461;
    const uint32_t e = c - 1461 * d / 4;
    const uint32_t m = (5 * e + 2) / 153;
    *day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
    *month = static_cast<int>(m + 3 - 12 * (m / 10));
    *year = static_cast<int>(100 * b + d + m / 10) - 4800;
    return;
  }
  const int64_t a = static_cast<int64_t>(jd) + 32044;
  const int64_t b = (4 * a + 3) / 146097;
  const int64_t c = a - 146097 * b / 4;
  const int64_t d = (4 * c + 3) / 1461;
  const int64_t e = c - 1461 * d / 4;
  const int64_t m = (5 * e + 2) / 153;
  *day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
  *month = static_cast<int>(m + 3 - 12 * (m / 10));
  *year = static_cast<int>(100 * b + d - 4800 + m / 10);
}

std::string DateToDtos(int32_t jd) {
  int y, m, d;
  DateToYmd(jd, &y, &m, &d);
  if (jd <= 0 || y < 1 || y > 9999) return std::string(8, ' ');
  char buf[9];
  buf[0] = static_cast<char>('0' + y / 1000);
  buf[1] = static_cast<char>('0' + y / 100 % 10);
  buf[2] = static_cast<char>('0' + y / 10 % 10);
  buf[3] = static_cast<char>('0' + y % 10);
  buf[4] = static_cast<char>('0' + m / 10);
  buf[5] = static_cast<char>('0' + m % 10);
  buf[6] = static_cast<char>('0' + d / 10);
  buf[7] = static_cast<char>('0' + d % 10);
  return std::string(buf, 8);
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
