#include <gtest/gtest.h>

#include "runtime/date.h"
#include "runtime/date_format.h"
#include "runtime/settings.h"

namespace px {
namespace {

TEST(DateFormatTest, DtocFollowsTheSetting) {
  const int32_t d = DateFromYmd(2024, 3, 5);
  EXPECT_EQ(DTOC(d), "03/05/24");  // the start value "mm/dd/yy"
  SET(SetId::kDateFormat, Value::String("dd/mm/yyyy"));
  EXPECT_EQ(DTOC(d), "05/03/2024");
  EXPECT_EQ(DTOC(0), "  /  /    ");
  EXPECT_EQ(CTOD(DTOC(d)), d);
}

TEST(DateFormatTest, ReadsByTheSettingAndEpoch) {
  EXPECT_EQ(ParseDate("05/03/2024", "dd/mm/yyyy", 1950), DateFromYmd(2024, 3, 5));
  EXPECT_EQ(ParseDate("03/05/2024", "mm/dd/yyyy", 1950), DateFromYmd(2024, 3, 5));
  EXPECT_EQ(ParseDate(" 5.3.49", "dd/mm/yy", 1950), DateFromYmd(2049, 3, 5));
  EXPECT_EQ(ParseDate("5/3/50", "dd/mm/yy", 1950), DateFromYmd(1950, 3, 5));
  EXPECT_EQ(ParseDate("5/3/50", "dd/mm/yy", 1900), DateFromYmd(1950, 3, 5));
  EXPECT_EQ(ParseDate("5/3/0049", "dd/mm/yyyy", 1950), DateFromYmd(2049, 3, 5));
  EXPECT_EQ(ParseDate("2024/03/05", "yyyy/mm/dd", 1950), DateFromYmd(2024, 3, 5));
  for (const char* bad :
       {"", "  /  /  ", "31/02/2024", "5/3", "abc", "05/13/2024", "123456/1/1", "0/1/2024"}) {
    EXPECT_EQ(ParseDate(bad, "dd/mm/yyyy", 1950), 0) << bad;
  }
  SET(SetId::kDateFormat, Value::String("dd/mm/yy"));
  SET(SetId::kEpoch, Value::Integer(1950));
  EXPECT_EQ(CTOD("01/02/03"), DateFromYmd(2003, 2, 1));
}

}  // namespace
}  // namespace px
