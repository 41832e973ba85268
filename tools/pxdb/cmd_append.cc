// pxdb append FILE: reads one JSON object per line from standard input and appends a
// record for each. A line holds field values by name ({"CODE":"A1","QTY":3}) or is a
// line of pxdb dump ({"recno":..,"deleted":..,"fields":{...}}), so that a dump appended
// to a table of the same structure reproduces it byte for byte. Values take the form
// dump prints; numeric fields also take JSON numbers, stored with the field's own
// rounding. Fields left out stay blank, and so do fields given as null.
//
// A line that cannot be stored as given (unknown field, wrong kind, a value too long or
// too large for its field) stops the command before its record is appended; the
// records of earlier lines stay.
#include <CLI/CLI.hpp>
#include <cstring>
#include <istream>
#include <nlohmann/json.hpp>

#include "engine/dbf/field_codec.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/date.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

using Json = nlohmann::json;

bool IsNumberText(const std::string& s) {
  if (s.find_first_not_of('*') == std::string::npos) return true;  // blank or overflowed
  size_t i = s[0] == '-' ? 1 : 0;
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    if (s[i] >= '0' && s[i] <= '9') {
      digits = true;
    } else if (s[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}

std::string Describe(const DbfField& f) {
  std::string d = std::string(1, f.letter) + " " + std::to_string(f.len);
  if (f.kind == 'N') d += "." + std::to_string(f.dec);
  return d;
}

Value JsonNumber(const Json& v) {
  if (v.is_number_unsigned()) {
    const uint64_t u = v.get<uint64_t>();
    if (u <= static_cast<uint64_t>(INT64_MAX)) return Value::Integer(static_cast<int64_t>(u));
    return Value::Double(static_cast<double>(u));
  }
  if (v.is_number_integer()) return Value::Integer(v.get<int64_t>());
  return Value::Double(v.get<double>());
}

// Builds the bytes of one record from a JSON object of field values. Memo texts are
// collected for PutValue. False with the reason in *why.
class RecordBuilder {
 public:
  explicit RecordBuilder(DbfArea* area) : area_(area) {}

  bool Build(const Json& values, bool deleted, std::string* record,
             std::vector<std::pair<uint16_t, std::string>>* memos, std::string* why) {
    const std::vector<DbfField>& fields = area_->fields();
    record->assign(area_->record_length(), ' ');
    FillBlankRecord(fields, record->data(), record->size());
    if (deleted) (*record)[0] = kDbfDeleted;
    for (const auto& [key, value] : values.items()) {
      std::string name;
      const uint16_t pos = Utf8ToLatin1(key, &name) ? FieldPosition(area_, name) : 0;
      if (pos == 0) {
        *why = "no field " + key;
        return false;
      }
      if (value.is_null()) continue;
      const DbfField& f = fields[pos - 1];
      std::string problem;
      if (!Store(f, value, record->data() + f.offset, pos, memos, &problem)) {
        *why = f.name + ": " + problem;
        return false;
      }
    }
    return true;
  }

 private:
  static bool Text(const Json& value, std::string* bytes, std::string* problem) {
    if (!value.is_string()) {
      *problem = "expected a string";
      return false;
    }
    if (!Utf8ToLatin1(value.get_ref<const std::string&>(), bytes)) {
      *problem = "characters above U+00FF cannot be stored";
      return false;
    }
    return true;
  }

  static bool Encode(const DbfField& f, const Value& v, char* out, std::string* problem) {
    switch (EncodeField(f, v, out)) {
      case EncodeResult::kOk:
        return true;
      case EncodeResult::kDataWidth:
        *problem = "value does not fit " + Describe(f);
        return false;
      case EncodeResult::kDataType:
        break;
    }
    *problem = "value of the wrong kind for " + Describe(f);
    return false;
  }

  bool Store(const DbfField& f, const Json& value, char* out, uint16_t pos,
             std::vector<std::pair<uint16_t, std::string>>* memos, std::string* problem) {
    std::string bytes;
    switch (f.kind) {
      case 'C':
        if (!Text(value, &bytes, problem)) return false;
        if (bytes.size() > f.len) {
          *problem = "text longer than " + Describe(f);
          return false;
        }
        std::memset(out, ' ', f.len);
        std::memcpy(out, bytes.data(), bytes.size());
        return true;
      case 'N':
        if (value.is_number()) return Encode(f, JsonNumber(value), out, problem);
        if (!Text(value, &bytes, problem)) return false;
        bytes = Trim(bytes);
        if (!IsNumberText(bytes) || bytes.size() > f.len) {
          *problem = "\"" + value.get<std::string>() + "\" is not a number text for " + Describe(f);
          return false;
        }
        std::memset(out, ' ', f.len);
        std::memcpy(out + (f.len - bytes.size()), bytes.data(), bytes.size());
        return true;
      case 'D': {
        if (!Text(value, &bytes, problem)) return false;
        if (Trim(bytes).empty()) return Encode(f, Value::Date(0), out, problem);
        const int32_t date = bytes.size() == 8 ? DateFromDtos(bytes) : 0;
        if (date == 0) {
          *problem = "expected a date YYYYMMDD";
          return false;
        }
        return Encode(f, Value::Date(date), out, problem);
      }
      case 'L':
        if (!value.is_boolean()) {
          *problem = "expected true or false";
          return false;
        }
        return Encode(f, Value::Logical(value.get<bool>()), out, problem);
      case 'B':
      case 'I':
        if (!value.is_number()) {
          *problem = "expected a number";
          return false;
        }
        return Encode(f, JsonNumber(value), out, problem);
      case 'M':
        if (!Text(value, &bytes, problem)) return false;
        if (!bytes.empty()) memos->emplace_back(pos, std::move(bytes));
        return true;
      default:
        *problem = "field kind not supported";
        return false;
    }
  }

  DbfArea* area_;
};

class AppendCommand : public Command {
 public:
  void Define(CLI::App& sub) override { sub.add_option("FILE", file_, "table file")->required(); }

  int Run(const GlobalOptions& options, Io& io) override {
    EngineSession session;
    std::string message;
    DbfArea* area = OpenTable(file_, options, /*read_only=*/false, session, &message);
    if (area == nullptr) return Fail(io, message);
    RecordBuilder builder(area);
    std::string line, record;
    int number = 0;
    while (std::getline(io.in, line)) {
      ++number;
      const std::string where = "line " + std::to_string(number) + ": ";
      if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
      Json j = Json::parse(line, nullptr, /*allow_exceptions=*/false);
      if (j.is_discarded() || !j.is_object()) {
        return Fail(io, where + "expected one JSON object");
      }
      const Json* values = &j;
      bool deleted = false;
      auto fields = j.find("fields");
      if (fields != j.end() && fields->is_object()) {
        values = &*fields;
        auto flag = j.find("deleted");
        if (flag != j.end()) {
          if (!flag->is_boolean()) return Fail(io, where + "deleted: expected true or false");
          deleted = flag->get<bool>();
        }
      }
      std::vector<std::pair<uint16_t, std::string>> memos;
      std::string why;
      if (!builder.Build(*values, deleted, &record, &memos, &why)) return Fail(io, where + why);
      session.Clear();
      bool ok = DBAPPEND() && area->PutRecord(record);
      for (const auto& [pos, text] : memos) ok = ok && area->PutValue(pos, Value::Memo(text));
      if (!ok || session.failed()) {
        return Fail(io, where + (session.failed() ? session.FirstError() : "append failed"));
      }
    }
    session.Clear();
    if (!area->Flush() || session.failed()) return Fail(io, session.FirstError());
    return 0;
  }

 private:
  std::string file_;
};

}  // namespace

std::unique_ptr<Command> MakeAppendCommand() {
  return std::make_unique<AppendCommand>();
}

}  // namespace px::pxdb
