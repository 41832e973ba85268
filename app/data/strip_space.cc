// STRIPSPACE: the text without blanks, and the length of its first word.
#include "app/data/catalogue.h"

namespace px {

std::string STRIPSPACE(std::string_view text, int* position) {
  int local = 0;
  int& pos = position != nullptr ? *position : local;
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ' ') {
      result += text[i];
    } else if (pos == 0) {
      // The length of the text before the blank.
      pos = static_cast<int>(i);
    }
  }
  // Without any blank the look-up key is the usual 8 characters of a file name.
  if (result == text) pos = 8;
  return result;
}

}  // namespace px
