// Helpers for tests that work with tables: creating a table from a field list, and
// building table files byte by byte.
#ifndef PX_TESTS_ENGINE_TABLE_UTIL_H_
#define PX_TESTS_ENGINE_TABLE_UTIL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/dbf/dbf_format.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"
#include "runtime/error.h"

namespace px::test {

// Creates a table (and its memo file) and leaves it closed; the current area number is
// unchanged. False when creation failed.
inline bool CreateTable(const std::string& name, const std::vector<FieldDef>& fields) {
  const uint16_t saved = CurrentAreaNumber();
  DBSELECTAREA(0);
  WorkArea* area = NewAreaInCurrentSlot("");
  bool ok = area != nullptr && area->CreateFields(fields);
  if (ok) {
    OpenInfo info;
    info.area = area->area_number();
    info.file_name = name;
    ok = area->Create(info);
    area->Close();
  }
  if (area != nullptr) ReleaseCurrentArea();
  DBSELECTAREA(static_cast<int>(saved));
  return ok;
}

// Opens a table into a new area (exclusive unless shared).
inline bool UseTable(const std::string& name, const std::string& alias = "", bool shared = false,
                     bool read_only = false) {
  return DBUSEAREA(true, "", name, alias, shared, read_only);
}

// A table file built byte by byte: header, descriptors, terminator, records.
struct RawTable {
  uint8_t version = 0x03;
  uint8_t flags = 0;
  uint32_t stored_count = 0;
  int header_length = -1;                // -1: computed
  int record_length = -1;                // -1: computed
  std::vector<std::string> descriptors;  // 32 bytes each
  std::vector<std::string> records;      // raw record bytes
  bool eof_mark = true;

  static std::string Descriptor(const std::string& name, char type, uint8_t len, uint8_t dec = 0) {
    std::string d(32, '\0');
    d.replace(0, name.size() < 11 ? name.size() : 11, name.substr(0, 11));
    d[11] = type;
    d[16] = static_cast<char>(len);
    d[17] = static_cast<char>(dec);
    return d;
  }

  std::string Bytes() const {
    const uint32_t hlen = header_length >= 0
                              ? static_cast<uint32_t>(header_length)
                              : static_cast<uint32_t>(32 + 32 * descriptors.size() + 2);
    uint32_t rlen = 0;
    if (!records.empty()) rlen = static_cast<uint32_t>(records[0].size());
    if (record_length >= 0) rlen = static_cast<uint32_t>(record_length);
    std::string out(32, '\0');
    out[0] = static_cast<char>(version);
    out[1] = 99;
    out[2] = 1;
    out[3] = 2;
    PutLe32(reinterpret_cast<uint8_t*>(&out[4]), stored_count);
    PutLe16(reinterpret_cast<uint8_t*>(&out[8]), static_cast<uint16_t>(hlen));
    PutLe16(reinterpret_cast<uint8_t*>(&out[10]), static_cast<uint16_t>(rlen));
    out[28] = static_cast<char>(flags);
    for (const std::string& d : descriptors) out += d;
    out += '\x0D';
    out += '\0';
    if (out.size() < hlen) out.resize(hlen, '\0');
    for (const std::string& r : records) out += r;
    if (eof_mark) out += '\x1A';
    return out;
  }
};

inline FieldDef Field(const std::string& name, char type, uint32_t len, uint32_t dec = 0) {
  FieldDef f;
  f.name = name;
  f.type = type;
  f.len = len;
  f.dec = dec;
  return f;
}

// The general and sub codes of the errors recorded so far, as "gen/sub" texts.
inline std::vector<std::string> RecordedCodes() {
  std::vector<std::string> out;
  for (const Error& e : RecordedErrors()) {
    out.push_back(std::to_string(e.gen_code) + "/" + std::to_string(e.sub_code));
  }
  return out;
}

}  // namespace px::test

#endif  // PX_TESTS_ENGINE_TABLE_UTIL_H_
