#include "engine/dbf/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace px {
namespace {

std::string Text(const Value& v, int w, int d) {
  return NumberText(v, w, d);
}
std::string Text(double v, int w, int d) {
  return NumberText(Value::Double(v), w, d);
}

TEST(NumberTextTest, Examples) {
  EXPECT_EQ(Text(3.14159, 6, 2), "  3.14");
  EXPECT_EQ(Text(2.5, 3, 0), "  3");
  EXPECT_EQ(Text(-2.5, 4, 0), "  -3");
  EXPECT_EQ(Text(-0.5, 5, 2), "-0.50");
  EXPECT_EQ(Text(Value::Integer(0), 5, 2), " 0.00");
  EXPECT_EQ(Text(0.0, 5, 2), " 0.00");
  EXPECT_EQ(Text(Value::Integer(1234), 3, 0), "***");
  EXPECT_EQ(Text(Value::Integer(-123), 3, 0), "***");
  EXPECT_EQ(Text(1234.567, 7, 2), "1234.57");
  EXPECT_EQ(Text(Value::Integer(99999), 4, 0), "****");
}

TEST(NumberTextTest, IntegersAreExact) {
  EXPECT_EQ(Text(Value::Integer(5), 6, 2), "  5.00");
  EXPECT_EQ(Text(Value::Integer(-5), 6, 2), " -5.00");
  EXPECT_EQ(Text(Value::Integer(-99), 3, 0), "-99");
  EXPECT_EQ(Text(Value::Integer(-99), 2, 0), "**");
  EXPECT_EQ(Text(Value::Integer(std::numeric_limits<int64_t>::min()), 20, 0),
            "-9223372036854775808");
  EXPECT_EQ(Text(Value::Integer(12), 3, 2), "***");  // no room left of the point
}

TEST(NumberTextTest, RoundingCarriesAndOverflows) {
  EXPECT_EQ(Text(0.5, 1, 0), "1");
  EXPECT_EQ(Text(9.5, 1, 0), "*");
  EXPECT_EQ(Text(-9.6, 3, 0), "-10");
  EXPECT_EQ(Text(-9.6, 2, 0), "**");
  EXPECT_EQ(Text(9.996, 4, 2), "****");
  EXPECT_EQ(Text(9.996, 5, 2), "10.00");
  EXPECT_EQ(Text(-9.9, 3, 1), "***");  // the sign has no room
  EXPECT_EQ(Text(-0.5, 4, 2), "****");
  EXPECT_EQ(Text(0.005, 4, 2), "0.01");
  EXPECT_EQ(Text(-0.005, 5, 2), "-0.01");
}

TEST(NumberTextTest, NegativeZeroHasNoSign) {
  EXPECT_EQ(Text(-0.001, 5, 2), " 0.00");
  EXPECT_EQ(Text(-0.4, 3, 0), "  0");
}

TEST(NumberTextTest, BinaryFractionsRoundAsWritten) {
  // 1.005 and 9.995 are stored a little below the decimal text; the 4-then-nines rule
  // rounds them as written.
  EXPECT_EQ(Text(1.005, 5, 2), " 1.01");
  EXPECT_EQ(Text(9.995, 5, 2), "10.00");
  EXPECT_EQ(Text(0.145, 4, 2), "0.15");
  EXPECT_EQ(Text(0.142, 3, 1), "0.1");
  EXPECT_EQ(Text(2.675, 5, 2), " 2.68");
}

TEST(NumberTextTest, SixteenSignificantDigits) {
  EXPECT_EQ(Text(12345678901234567890.0, 20, 0), "12345678901234570000");
  EXPECT_EQ(Text(1234567890123456.7, 20, 2), " 1234567890123457.00");
  EXPECT_EQ(Text(0.1, 20, 18), "0.100000000000000000");
  EXPECT_EQ(Text(1.0 / 3.0, 20, 18), "0.333333333333333300");
  EXPECT_EQ(Text(-1.0 / 3.0, 21, 18), "-0.333333333333333300");
}

TEST(NumberTextTest, NonFiniteAndOverflowMarkedNumbersOverflow) {
  EXPECT_EQ(Text(std::numeric_limits<double>::infinity(), 5, 0), "*****");
  EXPECT_EQ(Text(std::nan(""), 5, 0), "*****");
  EXPECT_EQ(Text(Value::Double(1.0, Value::kOverflowWidth, 0), 5, 0), "*****");
  bool fits = true;
  NumberText(Value::Double(1e300), 10, 0, &fits);
  EXPECT_FALSE(fits);
}

TEST(NumberTextTest, ParsesLikeTheCLibrary) {
  EXPECT_EQ(ParseNumberText("   12.50"), 12.5);
  EXPECT_EQ(ParseNumberText("-3"), -3.0);
  EXPECT_EQ(ParseNumberText("+7"), 7.0);
  EXPECT_EQ(ParseNumberText(".5"), 0.5);
  EXPECT_EQ(ParseNumberText("5."), 5.0);
  EXPECT_EQ(ParseNumberText("12abc"), 12.0);
  EXPECT_EQ(ParseNumberText("1e5"), 1.0);
  EXPECT_EQ(ParseNumberText("1.2.3"), 1.2);
  EXPECT_EQ(ParseNumberText("*****"), 0.0);
  EXPECT_EQ(ParseNumberText("     "), 0.0);
  EXPECT_EQ(ParseNumberText(" - 5"), 0.0);
  EXPECT_EQ(ParseIntegerText("  12.7"), 12);
  EXPECT_EQ(ParseIntegerText("  -42"), -42);
  EXPECT_EQ(ParseIntegerText("99999999999999999999999"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(ParseIntegerText("-99999999999999999999999"), std::numeric_limits<int64_t>::min());
}

}  // namespace
}  // namespace px
