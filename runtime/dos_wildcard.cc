#include "runtime/dos_wildcard.h"

#include <vector>

namespace px {

namespace {

char Fold(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Whether the run of '?' that holds position i ends the pattern or stands before a dot.
bool QuestionRunMayShrink(std::string_view pattern, size_t i) {
  while (i < pattern.size() && pattern[i] == '?') ++i;
  return i == pattern.size() || pattern[i] == '.';
}

// Plain * and ? matching, by dynamic programming over (pattern position, name position)
// so that patterns with many stars cost O(pattern x name), never exponential time.
bool Glob(std::string_view pattern, std::string_view name) {
  const size_t p = pattern.size();
  const size_t n = name.size();
  // next[j]: pattern[i+1..] matches name[j..]; cur[j]: pattern[i..] matches name[j..].
  std::vector<char> next(n + 1, 0), cur(n + 1, 0);
  next[n] = 1;
  for (size_t i = p; i-- > 0;) {
    const char c = pattern[i];
    const bool shrink = c == '?' && QuestionRunMayShrink(pattern, i);
    for (size_t j = n + 1; j-- > 0;) {
      bool m = false;
      if (c == '*') {
        m = next[j] || (j < n && cur[j + 1]);
      } else if (c == '?') {
        m = (j < n && next[j + 1]) || (shrink && (j == n || name[j] == '.') && next[j]);
      } else {
        m = j < n && Fold(c) == Fold(name[j]) && next[j + 1];
      }
      cur[j] = m ? 1 : 0;
    }
    next.swap(cur);
  }
  return next[0] != 0;
}

}  // namespace

bool DosWildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return false;
  if (Glob(pattern, name)) return true;
  if (name.find('.') != std::string_view::npos) return false;
  // A name without an extension: "NAME.*" and "NAME." stand for NAME itself.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
    return Glob(pattern.substr(0, pattern.size() - 2), name);
  }
  if (pattern.back() == '.') return Glob(pattern.substr(0, pattern.size() - 1), name);
  return false;
}

bool HasWildcards(std::string_view text) {
  return text.find_first_of("*?") != std::string_view::npos;
}

}  // namespace px
