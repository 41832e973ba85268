#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/date.h"
#include "runtime/memvars.h"
#include "runtime/settings.h"
#include "runtime/value.h"

namespace px {
namespace {

TEST(DateTest, DayNumbersAndTexts) {
  EXPECT_EQ(DateFromYmd(2000, 1, 1), 2451545);
  EXPECT_EQ(DateToDtos(DateFromYmd(2024, 2, 29)), "20240229");
  EXPECT_EQ(DateFromYmd(2023, 2, 29), 0);  // not a leap year
  EXPECT_EQ(DateToDtos(0), "        ");
  EXPECT_EQ(DateFromDtos("19991231"), DateFromYmd(1999, 12, 31));
  EXPECT_EQ(DateFromDtos("        "), 0);
  EXPECT_EQ(DateFromDtos("2024130x"), 0);
  EXPECT_EQ(DateFromDtos("20241301"), 0);
  int y, m, d;
  for (int32_t jd : {1721426, 2299161, 2451545, 2460000, 5373484}) {
    DateToYmd(jd, &y, &m, &d);
    EXPECT_EQ(DateFromYmd(y, m, d), jd);
  }
  EXPECT_EQ(DateDow(DateFromYmd(2026, 12, 8)), 3);  // a Tuesday
}

TEST(ValueTest, TypesAndAccessors) {
  EXPECT_TRUE(Value().is_nil());
  EXPECT_EQ(Value().TypeLetter(), 'U');
  Value i = Value::Integer(42);
  EXPECT_TRUE(i.is_integer());
  EXPECT_EQ(i.width(), 10);
  EXPECT_EQ(i.number(), 42.0);
  Value d = Value::Double(3.25, 6, 2);
  EXPECT_TRUE(d.is_double());
  EXPECT_EQ(d.integer(), 3);
  EXPECT_EQ(d.decimals(), 2);
  EXPECT_EQ(Value::Integer(7), Value::Double(7.0));
  EXPECT_TRUE(Value::Memo("x").is_string());
  EXPECT_FALSE(Value::Memo("x").is_char());
  EXPECT_NE(Value::Memo("x"), Value::String("x"));
  // Wrong-type access gives a neutral value.
  EXPECT_EQ(Value::Logical(true).str(), "");
  EXPECT_EQ(Value::String("a").number(), 0.0);
  EXPECT_EQ(Value::Double(1e300).integer(), INT64_MAX);
}

TEST(ValueTest, ArraysShareTheirItems) {
  Value a = Value::Array({Value::Integer(1)});
  Value b = a;
  b.mutable_array().push_back(Value::String("x"));
  EXPECT_EQ(a.array().size(), 2u);
  EXPECT_EQ(DebugString(a), "A:{N:1, C:\"x\"}");
}

// Copies, moves and re-assignments between every kind of value keep each one whole.
TEST(ValueTest, CopiesMovesAndReassignments) {
  auto block =
      std::make_shared<const CodeBlock>([](const std::vector<Value>&) { return Value(); }, "x");
  const std::vector<Value> kinds = {Value(),
                                    Value::Logical(true),
                                    Value::Integer(-12, 4),
                                    Value::Double(2.5, 6, 2),
                                    Value::Date(2451545),
                                    Value::String("short"),
                                    Value::String(std::string(100, 'l')),
                                    Value::Memo(std::string(50, 'm')),
                                    Value::Array({Value::String("item")}),
                                    Value::Block(block)};
  for (const Value& from : kinds) {
    for (const Value& to : kinds) {
      Value copy = to;
      copy = from;
      EXPECT_EQ(copy, from);
      EXPECT_EQ(copy.width(), from.width());
      EXPECT_EQ(copy.decimals(), from.decimals());
      Value source = from;
      Value moved = to;
      moved = std::move(source);
      EXPECT_EQ(moved, from);
      Value constructed(std::move(moved));
      EXPECT_EQ(constructed, from);
      Value text = to;
      text.SetString("abc", 3);
      EXPECT_EQ(text, Value::String("abc"));
    }
    Value self = from;
    const Value& alias = self;
    self = alias;
    EXPECT_EQ(self, from);
  }
  Value number = Value::Integer(3);
  number.mutable_array().push_back(Value::Integer(1));
  EXPECT_TRUE(number.is_array());
  EXPECT_EQ(number.array().size(), 1u);
  EXPECT_EQ(Value::Block(block).block()->text(), "x");
  EXPECT_EQ(Value::Integer(1).block(), nullptr);
}

TEST(MemVarsTest, NamesIgnoreCaseAndScopesRestore) {
  MemVars& vars = GetMemVars();
  vars.Set("TtoDrvPth", Value::String("C:\\PX\\"));
  ASSERT_NE(vars.Find("ttodrvpth"), nullptr);
  EXPECT_EQ(vars.Find("TTODRVPTH")->str(), "C:\\PX\\");
  EXPECT_EQ(vars.List().front().first, "TtoDrvPth");
  {
    ScopedMemVars scope;
    scope.Create("ttodrvpth", Value::Integer(1));
    scope.Create("tdb_name", Value::String("customer"));
    EXPECT_TRUE(vars.Find("TTODRVPTH")->is_number());
  }
  EXPECT_EQ(vars.Find("ttodrvpth")->str(), "C:\\PX\\");
  EXPECT_FALSE(vars.Exists("TDB_NAME"));
  EXPECT_TRUE(vars.Release("TTODRVPTH"));
  EXPECT_FALSE(vars.Release("TTODRVPTH"));
}

TEST(SettingsTest, NumberedSettings) {
  EXPECT_FALSE(GetSettings().deleted);
  EXPECT_EQ(SET(SetId::kDeleted, Value::String("ON")), Value::Logical(false));
  EXPECT_TRUE(GetSettings().deleted);
  SET(SetId::kDateFormat, Value::String("dd/mm/yy"));
  EXPECT_EQ(GetSettings().date_format, "dd/mm/yy");
  SET(SetId::kEpoch, Value::Integer(1950));
  EXPECT_EQ(SET(SetId::kEpoch), Value::Integer(1950));
  SET(SetId::kExclusive, Value::Integer(3));  // wrong type: unchanged
  EXPECT_TRUE(GetSettings().exclusive);
  EXPECT_GE(SETHANDLECOUNT(150), 150);
}

}  // namespace
}  // namespace px
