// Dates as text in the date format setting ("dd/mm/yy", "dd/mm/yyyy", "mm/dd/yy", ...)
// and the epoch setting that places two-digit years.
#ifndef PX_RUNTIME_DATE_FORMAT_H_
#define PX_RUNTIME_DATE_FORMAT_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace px {

// The date laid out by a format: each run of "d", "m" or "y" (any case) becomes the
// day, month or the last digits of the year, as many digits as the run is long; every
// other character is copied. The empty date gives the layout with blanks for digits.
std::string FormatDate(int32_t julian_day, std::string_view format);

// Reads a date written in the order of day, month and year of a format: three groups of
// digits separated by anything else. A year below 100 is placed in the hundred years
// starting at `epoch`. Blank or invalid text gives the empty date (0).
int32_t ParseDate(std::string_view text, std::string_view format, int epoch);

// FormatDate and ParseDate with the date format and epoch settings.
std::string DTOC(int32_t julian_day);
int32_t CTOD(std::string_view text);

}  // namespace px

#endif  // PX_RUNTIME_DATE_FORMAT_H_
