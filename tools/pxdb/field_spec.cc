#include "tools/pxdb/field_spec.h"

#include <charconv>
#include <set>

#include "tools/pxdb/table_access.h"

namespace px::pxdb {

namespace {

bool ParseNumber(const std::string& text, uint32_t max, uint32_t* out) {
  uint32_t v = 0;
  const char* end = text.data() + text.size();
  auto result = std::from_chars(text.data(), end, v);
  if (text.empty() || result.ec != std::errc() || result.ptr != end || v > max) return false;
  *out = v;
  return true;
}

}  // namespace

bool ParseFieldSpec(const std::string& spec, FieldDef* out, std::string* why) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t colon = spec.find(':', start);
    parts.push_back(spec.substr(start, colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() < 3 || parts.size() > 4) {
    *why = "expected NAME:TYPE:LEN[:DEC]";
    return false;
  }
  std::string name;
  if (!Utf8ToLatin1(parts[0], &name) || name.empty() || name.size() > 10 ||
      name.find_first_of(" \t") != std::string::npos) {
    *why = "a field name is 1 to 10 characters without blanks";
    return false;
  }
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (parts[1].size() != 1) {
    *why = "the type is one letter";
    return false;
  }
  char type = parts[1][0];
  if (type >= 'a' && type <= 'z') type = static_cast<char>(type - 'a' + 'A');
  if (std::string("CNFDLMB8I24").find(type) == std::string::npos) {
    *why = "unknown type " + parts[1] + " (C N F D L M B 8 I 2 4)";
    return false;
  }
  uint32_t len = 0, dec = 0;
  if (!ParseNumber(parts[2], 65535, &len)) {
    *why = "the length is a number from 0 to 65535";
    return false;
  }
  if (parts.size() == 4 && !ParseNumber(parts[3], 255, &dec)) {
    *why = "the decimals are a number from 0 to 255";
    return false;
  }
  const bool numeric = type == 'N' || type == 'F';
  if (numeric && (len < 1 || len > 255 || (dec > 0 && dec + 2 > len))) {
    *why = "a numeric field is 1 to 255 long with room for its decimals and point";
    return false;
  }
  if (type == 'C' && len < 1) {
    *why = "a character field is at least 1 long";
    return false;
  }
  if (dec != 0 && !numeric && type != 'B' && type != '8') {
    *why = "only N, F and B fields have decimals";
    return false;
  }
  out->name = name;
  out->type = type;
  out->len = len;
  out->dec = dec;
  return true;
}

bool ParseFieldSpecs(const std::vector<std::string>& specs, std::vector<FieldDef>* out,
                     std::string* why) {
  out->clear();
  std::set<std::string> names;
  for (const std::string& spec : specs) {
    FieldDef f;
    std::string reason;
    if (!ParseFieldSpec(spec, &f, &reason)) {
      *why = "field " + spec + ": " + reason;
      return false;
    }
    if (!names.insert(f.name).second) {
      *why = "field " + spec + ": duplicate name";
      return false;
    }
    out->push_back(f);
  }
  return true;
}

Value StructureOf(const std::vector<FieldDef>& fields) {
  std::vector<Value> entries;
  for (const FieldDef& f : fields) {
    entries.push_back(Value::Array({Value::String(f.name), Value::String(std::string(1, f.type)),
                                    Value::Integer(f.len), Value::Integer(f.dec)}));
  }
  return Value::Array(std::move(entries));
}

}  // namespace px::pxdb
