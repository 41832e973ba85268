// DBSTRUCT and DBCREATE.
#include "engine/workarea/structure.h"

#include <string>
#include <vector>

#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"
#include "runtime/dos_path.h"
#include "runtime/error.h"
#include "runtime/process_state.h"
#include "runtime/settings.h"

namespace px {

namespace {

constexpr const char* kScratchAliasPrefix = "__DBCREATE";

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

Error CommandError(int gen_code, int sub_code) {
  Error e = Error::Make("DBCMD", gen_code, sub_code);
  e.operation = "DBCREATE";
  return e;
}

// An entry is a list of at least four Values: character, character, number, number.
bool WellFormedEntry(const Value& entry) {
  if (!entry.is_array()) return false;
  const std::vector<Value>& e = entry.array();
  return e.size() >= 4 && e[0].is_string() && e[1].is_string() && e[2].is_number() &&
         e[3].is_number();
}

int64_t NonNegative(const Value& v) {
  const int64_t n = v.integer();
  return n < 0 ? 0 : n;
}

// The field an entry defines; false when it cannot be defined.
bool DefineField(const Value& entry, FieldDef* out) {
  const std::vector<Value>& e = entry.array();
  std::string name;
  for (char c : e[0].str()) {
    if (c == ' ' || c == '\t' || name.size() == 63) break;
    name += UpperAscii(c);
  }
  if (name.empty() || e[1].str().empty()) return false;
  const int64_t len = NonNegative(e[2]);
  const int64_t dec = NonNegative(e[3]);
  FieldDef f;
  f.name = name;
  switch (UpperAscii(e[1].str()[0])) {
    case 'C': {
      // The decimals carry the high byte of a long character field.
      const int64_t total = len + 256 * dec;
      if (total > 65535) return false;
      f.type = 'C';
      f.len = static_cast<uint32_t>(total);
      break;
    }
    case 'N':
    case 'F':
      if (len >= 256 || dec >= 256) return false;
      f.type = 'N';
      f.len = static_cast<uint32_t>(len);
      f.dec = static_cast<uint32_t>(dec);
      break;
    case 'D':
      f.type = 'D';
      f.len = len == 3 ? 3 : 8;
      break;
    case 'L':
      f.type = 'L';
      f.len = 1;
      break;
    case 'M':
      f.type = 'M';
      f.len = len == 4 ? 4 : 10;
      break;
    case 'B':
    case '8':
      if (dec >= 256) return false;
      f.type = 'B';
      f.len = 8;
      f.dec = static_cast<uint32_t>(dec);
      break;
    case 'I':
      f.type = 'I';
      f.len = (len == 2 || len == 8) ? static_cast<uint32_t>(len) : 4;
      break;
    case '2':
    case '4':
      f.type = 'I';
      f.len = static_cast<uint32_t>(e[1].str()[0] - '0');
      break;
    default:
      return false;
  }
  *out = f;
  return true;
}

// The first alias of the prefix and a number from 001 to 999 that no area uses, or "".
std::string ScratchAlias() {
  for (int n = 1; n <= 999; ++n) {
    std::string number = std::to_string(n);
    const std::string alias = kScratchAliasPrefix + std::string(3 - number.size(), '0') + number;
    if (AliasArea(alias) == 0) return alias;
  }
  return std::string();
}

void ReturnTo(uint16_t area) {
  DBSELECTAREA(static_cast<int>(area));
}

// Closes and releases the area in the current slot.
void DropCurrentArea(WorkArea* area) {
  area->Close();
  ReleaseCurrentArea();
}

}  // namespace

Value DBSTRUCT() {
  std::vector<Value> out;
  WorkArea* area = CurrentArea();
  uint16_t count = 0;
  if (area == nullptr || !area->FieldCount(&count)) return Value::Array();
  for (uint16_t i = 1; i <= count; ++i) {
    FieldDef f;
    if (!area->FieldInfo(i, &f)) continue;
    out.push_back(Value::Array({Value::String(f.name), Value::String(std::string(1, f.type)),
                                Value::Integer(f.len), Value::Integer(f.dec)}));
  }
  return Value::Array(std::move(out));
}

bool DBCREATE(std::string_view file, const Value& structure, std::string_view driver,
              std::optional<bool> new_area, std::string_view alias, std::string_view code_page) {
  SetNetErr(false);
  std::string name(file.substr(0, 255));
  if (name.empty() || !structure.is_array() || structure.array().empty()) {
    RaiseError(CommandError(kErrArg, 1014));
    return false;
  }
  for (const Value& entry : structure.array()) {
    if (!WellFormedEntry(entry)) {
      RaiseError(CommandError(kErrArg, 1014));
      return false;
    }
  }

  const uint16_t remembered = CurrentAreaNumber();
  std::string driver_name(driver.substr(0, 32));
  if (driver_name.empty()) driver_name = DefaultDriverName();

  std::string folder, base_file, base, ext;
  SplitPath(name, &folder, &base_file);
  SplitExtension(base_file, &base, &ext);
  std::string open_alias(alias.substr(0, 32));
  if (open_alias.size() == 1) {
    const auto c = static_cast<unsigned char>(UpperAscii(open_alias[0]));
    // Single letters up to "M" name areas; "L" is the one exception.
    if (c != 'L' && c <= 'M') {
      RaiseError(CommandError(kErrArg, 1015));
      return false;
    }
  }
  if (open_alias.empty()) open_alias = base.substr(0, 32);

  const std::string scratch = ScratchAlias();
  if (scratch.empty()) {
    RaiseError(CommandError(kErrDupAlias, 1011));
    return false;
  }

  if (!new_area.has_value() || *new_area) {
    DBSELECTAREA(0);
  } else if (CurrentArea() != nullptr) {
    DBCLOSEAREA();
  }
  const uint16_t slot = CurrentAreaNumber();
  WorkArea* area = NewAreaInCurrentSlot(driver_name);
  if (area == nullptr) {
    ReturnTo(remembered);
    RaiseError(CommandError(kErrCreate, 1015));
    return false;
  }
  if (ext.empty()) name += FindDriver(driver_name)->TableExtension();

  for (const Value& entry : structure.array()) {
    FieldDef f;
    if (!DefineField(entry, &f) || !area->AddField(f)) {
      ReleaseCurrentArea();
      ReturnTo(remembered);
      RaiseError(CommandError(kErrCreate, 1015));
      return false;
    }
  }

  OpenInfo info;
  info.area = slot;
  info.file_name = name;
  info.alias = scratch;
  info.code_page = std::string(code_page);
  if (!area->Create(info)) {
    DropCurrentArea(area);
    ReturnTo(remembered);
    return false;
  }
  DropCurrentArea(area);

  if (!new_area.has_value()) {
    ReturnTo(remembered);
    return true;
  }

  DBSELECTAREA(static_cast<int>(slot));
  area = NewAreaInCurrentSlot(driver_name);
  info.alias = open_alias;
  info.shared = !GetSettings().exclusive;
  info.read_only = false;
  if (area == nullptr || !area->Open(info)) {
    if (area != nullptr) DropCurrentArea(area);
    SetNetErr(true);
    return false;
  }
  return true;
}

}  // namespace px
