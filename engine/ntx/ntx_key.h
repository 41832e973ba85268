// Index keys: how values become key bytes and how key bytes compare.
//
// Every key of an order has the order's key size. Character values are their bytes;
// dates are YYYYMMDD (eight blanks when empty); logical values "T" or "F"; numbers are
// their STR text at the key size and key decimals, made to sort bytewise:
//
//     STR text   "   -5"   leading blanks become "0"         "000-5"
//                          a "-" becomes "0"                 "00005"
//                          the first byte becomes ","        ",0005"
//                          digits after it become 92 - code  ",,,,'"
//
// so negative numbers sort before the others and larger magnitudes first among them.
#ifndef PX_ENGINE_NTX_NTX_KEY_H_
#define PX_ENGINE_NTX_NTX_KEY_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace px::ntx {

// Key bytes of a number from its STR text (formatted at the key size as width and the
// key decimals as decimals).
std::string NumericKeyFromStr(std::string_view str_text);
std::string DateKey(int32_t julian_day);
std::string LogicalKey(bool value);

// Formats a number as STR(value, width, decimals) does. The expression evaluator
// provides it; the key layer only turns its text into key bytes.
using StrFormatter = std::function<std::string(const Value& number, int width, int decimals)>;

// The key type an order records for a value: 'C' (character and logical), 'N' or 'D';
// 0 for a value that cannot be a key.
char KeyTypeOf(const Value& value);

// Key bytes of a value for an order of the given key size and decimals. Character
// values are cut at 256 bytes and otherwise keep their length (the caller checks it
// against the key size); for search bytes they are cut to the key size. False for a
// value that cannot be a key.
bool KeyFromValue(const Value& value, int key_size, int key_decimals, bool for_search,
                  const StrFormatter& str, std::string* out);

// How search bytes compare with stored keys.
struct KeyCompare {
  int key_size = 0;
  bool descending = false;

  // Full-size keys, bytewise (inverted when descending).
  int Keys(const uint8_t* a, const uint8_t* b) const;
  // Search bytes of length s against a stored key: the first min(s, key size) bytes
  // decide; when equal, a shorter search value is equal when the rest of the stored key
  // is blanks, else equal as a prefix (smaller when exact); a longer search value is
  // equal when its rest is blanks, else greater. An empty search value ranks below
  // every key. Inverted when descending.
  int Search(const uint8_t* search, size_t s, const uint8_t* stored, bool exact) const;
};

}  // namespace px::ntx

#endif  // PX_ENGINE_NTX_NTX_KEY_H_
