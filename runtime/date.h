// Calendar dates as Julian day numbers (1 January 2000 is 2451545; 0 is the empty date).
#ifndef PX_RUNTIME_DATE_H_
#define PX_RUNTIME_DATE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace px {

// Day number of a Gregorian date; 0 when the date is not a valid calendar date or the
// year lies outside 1..9999.
int32_t DateFromYmd(int year, int month, int day);

// Splits a day number; the empty date gives 0, 0, 0.
void DateToYmd(int32_t julian_day, int* year, int* month, int* day);

// Eight digits YYYYMMDD, or eight blanks for the empty date.
std::string DateToDtos(int32_t julian_day);
// The same 8 characters written into out.
void DateToDtos(int32_t julian_day, char out[8]);

// Reads eight digits YYYYMMDD; anything that is not a valid calendar date (blanks
// included) gives the empty date.
int32_t DateFromDtos(std::string_view text);

// Day of the week, 1 = Sunday .. 7 = Saturday; 0 for the empty date.
int DateDow(int32_t julian_day);

}  // namespace px

#endif  // PX_RUNTIME_DATE_H_
