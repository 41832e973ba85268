// STR formatting of numbers: numeric key text, STR() and STRZERO().
//
// A number becomes `width` characters with `decimals` digits after a "." (no point when
// decimals is 0), right-aligned with blanks and a minus sign before the first digit. It
// is rounded half away from zero at the last decimal, working on the number as written:
// the shortest decimal form that reads back as the same double, to at most 16
// significant digits (so 2.675 and 9.995 round up, although the nearest doubles lie
// just below them). A result that does
// not fit in `width` characters, or a number that is not finite, gives `width`
// asterisks. A result that rounds to zero carries no minus sign.
#ifndef PX_ENGINE_EXPR_STR_FORMAT_H_
#define PX_ENGINE_EXPR_STR_FORMAT_H_

#include <cstdint>
#include <string>

#include "runtime/value.h"

namespace px {

// width >= 1 and decimals >= 0 (smaller values are raised to those).
std::string STR(double value, int width, int decimals);
std::string STR(int64_t value, int width, int decimals);
// A number Value with the given width and decimals; a non-number gives asterisks.
std::string STR(const Value& number, int width, int decimals);
// The same text written into out[0, width) (width >= 1; decimals >= 0), for callers
// that build the text in place.
void STRInto(const Value& number, int width, int decimals, char* out);
// A number Value with its own display width (at most 90; 0 or less means 10) and
// decimals.
std::string STR(const Value& number);

// STR with the leading blanks replaced by zeros; a minus sign goes first.
std::string STRZERO(const std::string& str_text);

// The number rounded half away from zero to `decimals` places (negative decimals round
// to tens, hundreds, ...), working to 16 significant digits like STR.
double RoundHalfAway(double value, int decimals);

}  // namespace px

#endif  // PX_ENGINE_EXPR_STR_FORMAT_H_
