// Dates as text in a date format such as "dd/mm/yy" or "mm/dd/yyyy".
#ifndef PX_RUNTIME_DATE_TEXT_H_
#define PX_RUNTIME_DATE_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace px {

// Each run of "d", "m" or "y" in the format (any letter case) becomes the day, month
// or year with as many digits as the run is long (a year run of 2 gives the last two
// digits); other characters are copied. The empty date gives the format with every
// such run turned into blanks.
std::string DateToText(int32_t julian_day, std::string_view format);

// The date in the current date-format setting.
std::string DateToText(int32_t julian_day);

}  // namespace px

#endif  // PX_RUNTIME_DATE_TEXT_H_
