#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "engine/ntx/ntx_format.h"
#include "engine/ntx/ntx_key.h"

namespace px::ntx {
namespace {

TEST(NtxFormatTest, MaximumKeysPerPage) {
  EXPECT_EQ(MaxKeysPerPage(8), 54);
  EXPECT_EQ(MaxKeysPerPage(10), 48);
  EXPECT_EQ(MaxKeysPerPage(40), 18);
  EXPECT_EQ(MaxKeysPerPage(256), 2);
  for (int ks = 1; ks <= 256; ++ks) {
    const int max = MaxKeysPerPage(ks);
    EXPECT_LE(2 * (max + 1) + 2 + (max + 1) * (ks + 8), 1024) << ks;
  }
}

TEST(NtxFormatTest, HeaderRoundTripAndTexts) {
  NtxHeader h;
  h.root = 5120;
  h.free_list = 2048;
  h.key_size = 12;
  h.key_decimals = 2;
  h.max_keys = MaxKeysPerPage(12);
  h.key_text = "STR(PRICE,12,2)";
  h.for_text = "!DELETED()";
  h.order_name = "PRICES";
  h.custom = true;
  uint8_t page[kPageSize];
  ASSERT_TRUE(EncodeHeader(h, page));
  EXPECT_EQ(GetU16(page), 7) << "FOR condition adds 1 to the signature";
  NtxHeader back;
  ASSERT_TRUE(DecodeHeader(page, &back));
  EXPECT_EQ(back.root, 5120u);
  EXPECT_EQ(back.free_list, 2048u);
  EXPECT_EQ(back.key_decimals, 2);
  EXPECT_EQ(back.key_text, h.key_text);
  EXPECT_EQ(back.for_text, h.for_text);
  EXPECT_EQ(back.order_name, "PRICES");
  EXPECT_TRUE(back.custom);
  EXPECT_FALSE(back.unique);

  // A text counts only when its first byte is above 20.
  page[282] = 20;
  ASSERT_TRUE(DecodeHeader(page, &back));
  EXPECT_EQ(back.for_text, "");

  h.key_text = std::string(256, 'K');
  EXPECT_FALSE(EncodeHeader(h, page)) << "texts longer than 255 bytes do not fit";
  // Nonsense sizes are refused when read.
  PutU16(page + 14, 0);
  EXPECT_FALSE(DecodeHeader(page, &back));
}

TEST(NtxFormatTest, InsertAndRemoveShiftOffsetsAndLeaveItemsInPlace) {
  uint8_t data[kPageSize];
  PageView p(data, 4, MaxKeysPerPage(4));
  p.Format();
  p.InsertAt(0, 0, 1, reinterpret_cast<const uint8_t*>("BBBB"));
  p.InsertAt(0, 0, 2, reinterpret_cast<const uint8_t*>("AAAA"));
  p.InsertAt(2, 0, 3, reinterpret_cast<const uint8_t*>("CCCC"));
  ASSERT_EQ(p.count(), 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.key(0)), 4), "AAAA");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.key(2)), 4), "CCCC");
  const uint16_t b_item = p.slot_offset(1);
  p.RemoveAt(0);
  EXPECT_EQ(p.slot_offset(0), b_item) << "items stay where they are";
  EXPECT_EQ(p.recno(0), 1u);
  EXPECT_EQ(p.Check(), "");
  std::set<int> items;
  for (int j = 0; j <= p.max_keys(); ++j) items.insert(p.slot_offset(j));
  EXPECT_EQ(items.size(), static_cast<size_t>(p.max_keys() + 1));

  p.set_slot_offset(3, p.slot_offset(0));
  EXPECT_NE(p.Check(), "") << "an item named twice is caught";
}

std::string Bytes(const std::string& s) {
  return s;
}

TEST(NtxKeyTest, NumericKeysSortBytewise) {
  EXPECT_EQ(NumericKeyFromStr("   -5"), Bytes("\x2C\x2C\x2C\x2C\x27"));
  EXPECT_EQ(NumericKeyFromStr("  -10"), Bytes("\x2C\x2C\x2C\x2B\x2C"));
  EXPECT_EQ(NumericKeyFromStr("    0"), "00000");
  EXPECT_EQ(NumericKeyFromStr(" 12.50"), "012.50");
  EXPECT_EQ(NumericKeyFromStr(" -2.50"), ",,*.',") << "the decimal point stays";
  std::vector<std::string> keys = {NumericKeyFromStr("    7"), NumericKeyFromStr("   -5"),
                                   NumericKeyFromStr("  -10"), NumericKeyFromStr("    0"),
                                   NumericKeyFromStr("  123"), NumericKeyFromStr(" -999")};
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys,
            (std::vector<std::string>{NumericKeyFromStr(" -999"), NumericKeyFromStr("  -10"),
                                      NumericKeyFromStr("   -5"), NumericKeyFromStr("    0"),
                                      NumericKeyFromStr("    7"), NumericKeyFromStr("  123")}));
}

TEST(NtxKeyTest, ValuesBecomeKeys) {
  std::string out;
  const StrFormatter str = [](const Value& v, int width, int) {
    std::string s = std::to_string(v.integer());
    return std::string(static_cast<size_t>(std::max(0, width - static_cast<int>(s.size()))), ' ') +
           s;
  };
  ASSERT_TRUE(KeyFromValue(Value::Integer(-5), 5, 0, false, str, &out));
  EXPECT_EQ(out, Bytes("\x2C\x2C\x2C\x2C\x27"));
  ASSERT_TRUE(KeyFromValue(Value::Date(0), 8, 0, false, str, &out));
  EXPECT_EQ(out, "        ");
  ASSERT_TRUE(KeyFromValue(Value::Logical(true), 1, 0, false, str, &out));
  EXPECT_EQ(out, "T");
  ASSERT_TRUE(KeyFromValue(Value::String("ABCDEFGHIJKL"), 10, 0, true, str, &out));
  EXPECT_EQ(out, "ABCDEFGHIJ") << "search bytes are cut to the key size";
  EXPECT_FALSE(KeyFromValue(Value(), 10, 0, false, str, &out));
  EXPECT_EQ(KeyTypeOf(Value::Logical(false)), 'C');
  EXPECT_EQ(KeyTypeOf(Value::Date(2451545)), 'D');
}

TEST(NtxKeyTest, SearchComparison) {
  KeyCompare cmp{10, false};
  auto cmp_search = [&](const std::string& s, const std::string& stored, bool exact) {
    return cmp.Search(reinterpret_cast<const uint8_t*>(s.data()), s.size(),
                      reinterpret_cast<const uint8_t*>(stored.data()), exact);
  };
  EXPECT_EQ(cmp_search("AB", "AB        ", true), 0);
  EXPECT_EQ(cmp_search("AB", "ABC       ", false), 0);
  EXPECT_EQ(cmp_search("AB", "ABC       ", true), -1);
  EXPECT_EQ(cmp_search("AB", "AC        ", false), -1);
  EXPECT_EQ(cmp_search("ABCDEFGHIJ   ", "ABCDEFGHIJ", true), 0);
  EXPECT_EQ(cmp_search("ABCDEFGHIJK", "ABCDEFGHIJ", false), 1);
  EXPECT_EQ(cmp_search("", "          ", false), -1);
  EXPECT_EQ(cmp_search("\xE4", "z         ", false), 1) << "bytes compare unsigned";
  KeyCompare desc{10, true};
  const std::string a = "A         ";
  const std::string b = "B         ";
  EXPECT_EQ(desc.Keys(reinterpret_cast<const uint8_t*>(a.data()),
                      reinterpret_cast<const uint8_t*>(b.data())),
            1);
}

}  // namespace
}  // namespace px::ntx
