// The fixed table of the index fuzz target and of its seeds: 150 records of
//   CODE C 5  "C0001".."C0150"      NAME C 12  one of eight names
//   BAL  N 8 2  (i * 37) % 1000 + i / 4.0   DUE D  2024-01-01 plus i * 3 days
//   FLAG L  odd records true
// made once per process with the engine and kept as bytes.
#ifndef PX_TESTS_FUZZ_NTX_FUZZ_TABLE_H_
#define PX_TESTS_FUZZ_NTX_FUZZ_TABLE_H_

#include <fstream>
#include <iterator>
#include <string>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "runtime/date.h"
#include "runtime/value.h"
#include "tests/fuzz/fuzz_util.h"

namespace px::fuzz {

inline const char* FixedKeyName(int i) {
  static const char* const kNames[8] = {"SMITH", "JONES",  "MILLER", "BROWN",
                                        "SMITH", "WILSON", "TAYLOR", "ANDERSON"};
  return kNames[i % 8];
}

inline const std::string& FixedKeyTable() {
  static const std::string* bytes = [] {
    const std::string path = ScratchFile("fixed.dbf");
    auto field = [](const char* name, const char* type, int len, int dec) {
      return Value::Array(
          {Value::String(name), Value::String(type), Value::Integer(len), Value::Integer(dec)});
    };
    DBCREATE(path, Value::Array({field("CODE", "C", 5, 0), field("NAME", "C", 12, 0),
                                 field("BAL", "N", 8, 2), field("DUE", "D", 8, 0),
                                 field("FLAG", "L", 1, 0)}));
    if (DBUSEAREA(true, "", path, "FIXED", false, false)) {
      const int32_t start = DateFromYmd(2024, 1, 1);
      for (int i = 1; i <= 150; ++i) {
        DBAPPEND();
        char code[16];
        std::snprintf(code, sizeof code, "C%04d", i);
        FIELDPUT(1, Value::String(code));
        FIELDPUT(2, Value::String(FixedKeyName(i)));
        FIELDPUT(3, Value::Double((i * 37) % 1000 + i / 4.0, 8, 2));
        FIELDPUT(4, Value::Date(start + i * 3));
        FIELDPUT(5, Value::Logical(i % 2 == 1));
      }
      DBCLOSEAREA();
    }
    std::ifstream in(path, std::ios::binary);
    return new std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }();
  return *bytes;
}

}  // namespace px::fuzz

#endif  // PX_TESTS_FUZZ_NTX_FUZZ_TABLE_H_
