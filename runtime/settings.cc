#include "runtime/settings.h"

#include <algorithm>

namespace px {

namespace {

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

// Reads a logical setting value: .T./.F. or the texts ON/OFF. False when the value is
// of neither form.
bool ReadSwitch(const Value& v, bool* out) {
  if (v.is_logical()) {
    *out = v.logical();
    return true;
  }
  if (v.is_string()) {
    std::string s = Upper(v.str());
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    if (s == "ON") {
      *out = true;
      return true;
    }
    if (s == "OFF") {
      *out = false;
      return true;
    }
  }
  return false;
}

bool* SwitchField(Settings& s, SetId id) {
  switch (id) {
    case SetId::kExact:
      return &s.exact;
    case SetId::kFixed:
      return &s.fixed;
    case SetId::kExclusive:
      return &s.exclusive;
    case SetId::kSoftSeek:
      return &s.soft_seek;
    case SetId::kUnique:
      return &s.unique;
    case SetId::kDeleted:
      return &s.deleted;
    case SetId::kConfirm:
      return &s.confirm;
    case SetId::kCentury:
      return &s.century;
    case SetId::kHardCommit:
      return &s.hard_commit;
    case SetId::kStrictRead:
      return &s.strict_read;
    default:
      return nullptr;
  }
}

int* NumberField(Settings& s, SetId id) {
  switch (id) {
    case SetId::kDecimals:
      return &s.decimals;
    case SetId::kEpoch:
      return &s.epoch;
    case SetId::kLockScheme:
      return &s.lock_scheme;
    case SetId::kHandleCount:
      return &s.handle_count;
    default:
      return nullptr;
  }
}

std::string* TextField(Settings& s, SetId id) {
  switch (id) {
    case SetId::kDateFormat:
      return &s.date_format;
    case SetId::kPath:
      return &s.path;
    case SetId::kDefault:
      return &s.default_folder;
    default:
      return nullptr;
  }
}

}  // namespace

Value SET(SetId id) {
  Settings& s = GetSettings();
  if (bool* b = SwitchField(s, id)) return Value::Logical(*b);
  if (int* n = NumberField(s, id)) return Value::Integer(*n);
  if (std::string* t = TextField(s, id)) return Value::String(*t);
  return Value();
}

Value SET(SetId id, const Value& value) {
  Value old = SET(id);
  Settings& s = GetSettings();
  if (bool* b = SwitchField(s, id)) {
    bool v;
    if (ReadSwitch(value, &v)) *b = v;
  } else if (int* n = NumberField(s, id)) {
    if (value.is_number()) *n = static_cast<int>(value.integer());
  } else if (std::string* t = TextField(s, id)) {
    if (value.is_string()) *t = value.str();
  }
  return old;
}

}  // namespace px
