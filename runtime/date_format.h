// Reading dates written in the date format setting ("dd/mm/yy", "mm/dd/yyyy", ...),
// the reverse of DateToText (date_text.h), with the epoch setting placing two-digit
// years; and both directions under the system's names.
#ifndef PX_RUNTIME_DATE_FORMAT_H_
#define PX_RUNTIME_DATE_FORMAT_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace px {

// Reads a date written in the order of day, month and year of a format: three groups
// of digits separated by anything else. A year below 100 is placed in the hundred years
// starting at `epoch`. Blank or invalid text gives the empty date (0).
int32_t ParseDate(std::string_view text, std::string_view format, int epoch);

// DTOC: DateToText with the date format setting. CTOD: ParseDate with the date format
// and epoch settings.
std::string DTOC(int32_t julian_day);
int32_t CTOD(std::string_view text);

}  // namespace px

#endif  // PX_RUNTIME_DATE_FORMAT_H_
