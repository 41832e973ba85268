// Numbers as the text of numeric (N and F) table fields, and that text read back.
//
// A field of width w and d decimals holds exactly w characters: the number right-aligned,
// blanks to its left, and with d > 0 a "." at index w - d - 1 followed by d digits.
// Integers are written exactly. Doubles are rounded half up at the last decimal, but to
// no more than 16 significant digits: positions beyond those become "0". When the
// digits, the sign or a carry of the rounding do not fit, the field overflows and holds w
// asterisks. Examples (b a blank): 3.14159 in N 6.2 is bb3.14; 2.5 in N 3.0 is bb3; -2.5
// in N 4.0 is bb-3; -0.5 in N 5.2 is -0.50; 0 in N 5.2 is b0.00; 1234 in N 3.0 is ***.
#ifndef PX_ENGINE_DBF_NUMBER_TEXT_H_
#define PX_ENGINE_DBF_NUMBER_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace px {

// Writes the text of a number into out[0, width). Returns false on overflow, with out
// filled with asterisks. A double whose display width is the overflow mark (99) or that
// is not finite always overflows.
bool FormatNumberText(const Value& number, int width, int decimals, char* out);
bool FormatIntegerText(int64_t value, int width, int decimals, char* out);
bool FormatDoubleText(double value, int width, int decimals, char* out);

// The same into a string (tests, tools).
std::string NumberText(const Value& number, int width, int decimals, bool* fits = nullptr);

// Reads a number as the C library's decimal conversion does: leading blanks skipped, an
// optional sign, digits, one decimal point and digits; conversion stops at the first
// character that cannot continue the number. Text without digits gives 0.
double ParseNumberText(std::string_view text);
// The integer part only (conversion stops at the decimal point); saturates at the
// limits of int64_t.
int64_t ParseIntegerText(std::string_view text);

}  // namespace px

#endif  // PX_ENGINE_DBF_NUMBER_TEXT_H_
