#include "runtime/date_format.h"

#include "runtime/date.h"
#include "runtime/date_text.h"
#include "runtime/settings.h"

namespace px {

namespace {

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

int32_t ParseDate(std::string_view text, std::string_view format, int epoch) {
  // The order of day, month and year: first appearance of each letter in the format.
  int order[3] = {-1, -1, -1};  // position of d, m, y
  int next = 0;
  for (char f : format) {
    const char c = Lower(f);
    const int slot = c == 'd' ? 0 : c == 'm' ? 1 : c == 'y' ? 2 : -1;
    if (slot >= 0 && order[slot] < 0) order[slot] = next++;
  }
  if (next != 3) return 0;

  int groups[3] = {0, 0, 0};
  int found = 0;
  size_t i = 0;
  while (i < text.size() && found < 3) {
    if (!IsDigit(text[i])) {
      ++i;
      continue;
    }
    int64_t value = 0;
    size_t len = 0;
    while (i < text.size() && IsDigit(text[i])) {
      if (len < 9) value = value * 10 + (text[i] - '0');
      ++len;
      ++i;
    }
    if (len > 4) return 0;
    groups[found++] = static_cast<int>(value);
  }
  if (found < 3) return 0;
  const int day = groups[order[0]];
  const int month = groups[order[1]];
  int year = groups[order[2]];
  if (year < 100) {
    const int base = epoch / 100 * 100;
    year += base;
    if (year < epoch) year += 100;
  }
  return DateFromYmd(year, month, day);
}

std::string DTOC(int32_t julian_day) {
  return DateToText(julian_day, GetSettings().date_format);
}

int32_t CTOD(std::string_view text) {
  const Settings& s = GetSettings();
  return ParseDate(text, s.date_format, s.epoch);
}

}  // namespace px
