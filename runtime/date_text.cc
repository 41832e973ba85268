#include "runtime/date_text.h"

#include "runtime/date.h"
#include "runtime/settings.h"

namespace px {

namespace {

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// The last `width` digits of n, zero-padded.
std::string Digits(int n, size_t width) {
  std::string s = std::to_string(n);
  if (s.size() < width) s.insert(0, width - s.size(), '0');
  return s.substr(s.size() - width);
}

}  // namespace

std::string DateToText(int32_t julian_day, std::string_view format) {
  int year = 0, month = 0, day = 0;
  DateToYmd(julian_day, &year, &month, &day);
  const bool empty = julian_day <= 0;
  std::string out;
  size_t i = 0;
  while (i < format.size()) {
    const char c = Lower(format[i]);
    if (c != 'd' && c != 'm' && c != 'y') {
      out += format[i++];
      continue;
    }
    size_t run = 0;
    while (i < format.size() && Lower(format[i]) == c) {
      ++run;
      ++i;
    }
    if (empty) {
      out.append(run, ' ');
    } else {
      out += Digits(c == 'd' ? day : c == 'm' ? month : year, run);
    }
  }
  return out;
}

std::string DateToText(int32_t julian_day) {
  return DateToText(julian_day, GetSettings().date_format);
}

}  // namespace px
