// STR formatting, the base of numeric key text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/expr/str_format.h"
#include "engine/ntx/ntx_key.h"

namespace px {
namespace {

TEST(StrFormatTest, WidthDecimalsAndRounding) {
  EXPECT_EQ(STR(3.14159, 6, 2), "  3.14");
  EXPECT_EQ(STR(int64_t{123456}, 3, 0), "***");
  EXPECT_EQ(STR(int64_t{-5}, 5, 0), "   -5");
  EXPECT_EQ(STR(int64_t{0}, 5, 2), " 0.00");
  EXPECT_EQ(STR(0.5, 1, 0), "1");
  EXPECT_EQ(STR(-0.5, 2, 0), "-1");
  EXPECT_EQ(STR(2.675, 5, 2), " 2.68");  // as written, not as the nearest double
  EXPECT_EQ(STR(1.005, 5, 2), " 1.01");
  EXPECT_EQ(STR(-1.005, 6, 2), " -1.01");
  EXPECT_EQ(STR(0.125, 5, 2), " 0.13");
  EXPECT_EQ(STR(9.995, 5, 2), "10.00");
  EXPECT_EQ(STR(9.995, 4, 2), "****");
  EXPECT_EQ(STR(-0.001, 5, 2), " 0.00");  // no sign on a result that rounds to zero
  EXPECT_EQ(STR(0.004, 4, 2), "0.00");
  EXPECT_EQ(STR(123.456, 8, 1), "   123.5");
  EXPECT_EQ(STR(1e15, 17, 0), " 1000000000000000");
  EXPECT_EQ(STR(1e20, 22, 0), " 100000000000000000000");
  EXPECT_EQ(STR(12345678901234567.0, 18, 0), " 12345678901234570");  // 16 digits
  EXPECT_EQ(STR(int64_t{12345678901234567}, 18, 0), " 12345678901234570");
  EXPECT_EQ(STR(int64_t{9223372036854775807}, 20, 0), " 9223372036854776000");
  EXPECT_EQ(STR(0.1 + 0.2, 20, 17), " 0.30000000000000000");
  EXPECT_EQ(STR(1.0 / 3, 12, 10), "0.3333333333");
  EXPECT_EQ(STR(std::nan(""), 4, 0), "****");
  EXPECT_EQ(STR(HUGE_VAL, 3, 1), "***");
  EXPECT_EQ(STR(-12.5, 5, 0), "  -13");
  EXPECT_EQ(STR(5.0, 1, 0), "5");
  EXPECT_EQ(STR(-5.0, 1, 0), "*");
}

TEST(StrFormatTest, ValuesWithTheirOwnFormat) {
  EXPECT_EQ(STR(Value::Integer(42)), "        42");
  EXPECT_EQ(STR(Value::Double(3.14159, 8, 5)), " 3.14159");
  EXPECT_EQ(STR(Value::Double(2.5, 0, 1)), "       2.5");  // width 0 means 10
  EXPECT_EQ(STR(Value::Double(1, 200, 2)).size(), 90u);    // at most 90
  EXPECT_EQ(STR(Value::String("x"), 3, 0), "***");
  EXPECT_EQ(STR(Value::Integer(-7), 5, 0), "   -7");
}

TEST(StrFormatTest, StrZeroAndRound) {
  EXPECT_EQ(STRZERO(STR(int64_t{-5}, 5, 0)), "-0005");
  EXPECT_EQ(STRZERO(STR(3.5, 6, 2)), "003.50");
  EXPECT_EQ(STRZERO("***"), "***");
  EXPECT_DOUBLE_EQ(RoundHalfAway(2.675, 2), 2.68);
  EXPECT_DOUBLE_EQ(RoundHalfAway(-2.5, 0), -3.0);
  EXPECT_DOUBLE_EQ(RoundHalfAway(1234.5, -2), 1200.0);
  EXPECT_DOUBLE_EQ(RoundHalfAway(1250, -2), 1300.0);
}

// Numeric keys are STR text at the key size and decimals, made to sort bytewise.
TEST(StrFormatTest, FormatsNumericKeysForTheIndexLayer) {
  const ntx::StrFormatter str = [](const Value& n, int width, int decimals) {
    return STR(n, width, decimals);
  };
  std::string key;
  ASSERT_TRUE(ntx::KeyFromValue(Value::Integer(-5), 5, 0, false, str, &key));
  EXPECT_EQ(key, "\x2C\x2C\x2C\x2C\x27");
  ASSERT_TRUE(ntx::KeyFromValue(Value::Integer(-10), 5, 0, false, str, &key));
  EXPECT_EQ(key, "\x2C\x2C\x2C\x2B\x2C");
  ASSERT_TRUE(ntx::KeyFromValue(Value::Double(2.675, 8, 2), 8, 2, false, str, &key));
  EXPECT_EQ(key, "00002.68");
}

// A xorshift generator: the same numbers on every run from the same seed.
class XorShift {
 public:
  explicit XorShift(uint64_t seed) : seed_(seed) {}
  uint64_t operator()() {
    seed_ ^= seed_ << 13;
    seed_ ^= seed_ >> 7;
    seed_ ^= seed_ << 17;
    return seed_;
  }

 private:
  uint64_t seed_;
};

// Random values agree with the exact decimal path whichever path formats them.
TEST(StrFormatTest, FastAndExactPathsAgree) {
  XorShift next(88172645463325252ULL);
  for (int i = 0; i < 20000; ++i) {
    const int decimals = static_cast<int>(next() % 6);
    const double cents = static_cast<double>(next() % 2000000) - 1000000;
    // Values that are exactly k + 0.5 units of the last decimal: ties written in text.
    const double tie = (cents + 0.5) / std::pow(10.0, decimals);
    const std::string s = STR(tie, 20, decimals);
    // A tie rounds away from zero.
    const double units = cents >= 0 ? cents + 1 : cents;
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%20.*f", decimals, units / std::pow(10.0, decimals));
    const std::string want = buf;
    ASSERT_EQ(s, want) << tie << " dec " << decimals;
  }
}

// Text written in place is the text STR returns, for every kind of number and width.
TEST(StrFormatTest, InPlaceTextMatches) {
  XorShift next(2463534242ULL);
  std::vector<Value> numbers = {Value::Integer(0),
                                Value::Integer(-1),
                                Value::Integer(INT64_MAX),
                                Value::Integer(INT64_MIN),
                                Value::Integer(9999999999999999),
                                Value::Double(0.0),
                                Value::Double(-0.004),
                                Value::Double(9.995),
                                Value::Double(1e300),
                                Value::Double(-HUGE_VAL),
                                Value::Double(std::nan("")),
                                Value::String("x")};
  for (int i = 0; i < 5000; ++i) {
    const double magnitude = std::pow(10.0, static_cast<double>(next() % 40) - 10);
    numbers.push_back(
        Value::Double(magnitude * static_cast<double>(next() % 2000001 - 1000000) / 1e6));
    numbers.push_back(Value::Integer(static_cast<int64_t>(next() >> (next() % 64))));
  }
  char text[80];
  for (const Value& n : numbers) {
    for (int width : {1, 2, 5, 8, 12, 20, 21, 40}) {
      for (int decimals : {0, 1, 2, 3, 4, 7, 15}) {
        STRInto(n, width, decimals, text);
        ASSERT_EQ(std::string(text, static_cast<size_t>(width)), STR(n, width, decimals))
            << DebugString(n) << " " << width << "," << decimals;
      }
    }
  }
}

}  // namespace
}  // namespace px
