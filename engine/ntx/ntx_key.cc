#include "engine/ntx/ntx_key.h"

#include <algorithm>
#include <cstring>

#include "engine/ntx/ntx_format.h"
#include "runtime/date.h"

namespace px::ntx {

std::string NumericKeyFromStr(std::string_view str_text) {
  std::string key(str_text);
  size_t i = 0;
  while (i < key.size() && key[i] == ' ') key[i++] = '0';
  if (i < key.size() && key[i] == '-') {
    key[i] = '0';
    key[0] = ',';
    for (size_t j = 1; j < key.size(); ++j) {
      if (key[j] >= '0' && key[j] <= '9') key[j] = static_cast<char>(92 - key[j]);
    }
  }
  return key;
}

std::string DateKey(int32_t julian_day) {
  return DateToDtos(julian_day);
}

std::string LogicalKey(bool value) {
  return value ? "T" : "F";
}

char KeyTypeOf(const Value& value) {
  if (value.is_char() || value.is_logical()) return 'C';
  if (value.is_number()) return 'N';
  if (value.is_date()) return 'D';
  return 0;
}

bool KeyFromValue(const Value& value, int key_size, int key_decimals, bool for_search,
                  const StrFormatter& str, std::string* out) {
  if (value.is_char()) {
    const std::string& s = value.str();
    const size_t cut = for_search ? static_cast<size_t>(key_size) : kMaxKeySize;
    out->assign(s, 0, std::min(s.size(), cut));
    return true;
  }
  if (value.is_number()) {
    if (!str) return false;
    *out = NumericKeyFromStr(str(value, key_size, key_decimals));
    return true;
  }
  if (value.is_date()) {
    *out = DateKey(value.date());
    return true;
  }
  if (value.is_logical()) {
    *out = LogicalKey(value.logical());
    return true;
  }
  return false;
}

int KeyCompare::Keys(const uint8_t* a, const uint8_t* b) const {
  const int c = std::memcmp(a, b, static_cast<size_t>(key_size));
  const int r = c < 0 ? -1 : (c > 0 ? 1 : 0);
  return descending ? -r : r;
}

namespace {

bool AllBlanks(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (p[i] != ' ') return false;
  }
  return true;
}

}  // namespace

int KeyCompare::Search(const uint8_t* search, size_t s, const uint8_t* stored, bool exact) const {
  const size_t k = static_cast<size_t>(key_size);
  int r;
  if (s == 0) {
    r = -1;
  } else {
    const int c = std::memcmp(search, stored, std::min(s, k));
    if (c != 0) {
      r = c < 0 ? -1 : 1;
    } else if (s == k) {
      r = 0;
    } else if (s < k) {
      r = (AllBlanks(stored + s, k - s) || !exact) ? 0 : -1;
    } else {
      r = AllBlanks(search + k, s - k) ? 0 : 1;
    }
  }
  return descending ? -r : r;
}

}  // namespace px::ntx
