// pxdb dump FILE: one JSON object per record, {"recno":N,"deleted":bool,"fields":{...}}.
// Character fields keep their trailing blanks, numeric text fields give their stored
// text trimmed, dates "YYYYMMDD" or "", logicals true/false, binary numbers JSON numbers,
// memo fields their text. Text bytes are written as Latin-1 characters, so that append
// reads every table back byte for byte.
#include <CLI/CLI.hpp>
#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>

#include "engine/workarea/registry.h"
#include "runtime/date.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

using Json = nlohmann::ordered_json;

Json FieldJson(WorkArea* area, uint16_t pos, const DbfField& f) {
  Value v;
  if (!area->GetValue(pos, &v)) return nullptr;
  switch (f.kind) {
    case 'D':
      return v.date() == 0 ? std::string() : DateToDtos(v.date());
    case 'L':
      return v.logical();
    case 'B':
      if (!std::isfinite(v.number())) return nullptr;
      return v.number();
    case 'I':
      return v.integer();
    default:
      return Latin1ToUtf8(v.str());
  }
}

// Appends the bytes as a JSON string of Latin-1 characters, escaped as the JSON library
// writes strings (so a dump reads the same whichever way it was written).
void AppendString(std::string* out, std::string_view latin1) {
  static constexpr char kHex[] = "0123456789abcdef";
  *out += '"';
  for (const char ch : latin1) {
    const auto b = static_cast<unsigned char>(ch);
    if (b >= 0x80) {
      *out += static_cast<char>(0xC0 | (b >> 6));
      *out += static_cast<char>(0x80 | (b & 0x3F));
    } else if (b == '"' || b == '\\') {
      *out += '\\';
      *out += ch;
    } else if (b >= 0x20) {
      *out += ch;
    } else {
      switch (b) {
        case '\b':
          *out += "\\b";
          break;
        case '\t':
          *out += "\\t";
          break;
        case '\n':
          *out += "\\n";
          break;
        case '\f':
          *out += "\\f";
          break;
        case '\r':
          *out += "\\r";
          break;
        default:
          *out += "\\u00";
          *out += kHex[b >> 4];
          *out += kHex[b & 0xF];
      }
    }
  }
  *out += '"';
}

std::string_view Trimmed(std::string_view s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// Appends one field's value. Character and numeric text come straight from the record;
// the other kinds are read through the work area.
void AppendField(std::string* out, WorkArea* area, uint16_t pos, const DbfField& f,
                 const std::string& record) {
  const std::string_view stored(record.data() + f.offset, f.len);
  switch (f.kind) {
    case 'C':
      AppendString(out, stored);
      return;
    case 'N':
      AppendString(out, Trimmed(stored));
      return;
    case 'L': {
      Value v;
      if (!area->GetValue(pos, &v)) break;
      *out += v.logical() ? "true" : "false";
      return;
    }
    case 'D': {
      Value v;
      if (!area->GetValue(pos, &v)) break;
      AppendString(out, v.date() == 0 ? std::string() : DateToDtos(v.date()));
      return;
    }
    default:
      *out += FieldJson(area, pos, f).dump();
      return;
  }
  *out += "null";
}

class DumpCommand : public Command {
 public:
  void Define(CLI::App& sub) override { sub.add_option("FILE", file_, "table file")->required(); }
  int Run(const GlobalOptions& options, Io& io) override {
    EngineSession session;
    std::string message;
    DbfArea* area = OpenTable(file_, options, /*read_only=*/true, session, &message);
    if (area == nullptr) return Fail(io, message);
    uint32_t count = 0;
    area->RecCount(&count);
    // Each field name once, where it first appears, with the value of its last field of
    // that name (as a JSON object keeps a repeated key).
    const std::vector<DbfField>& list = area->fields();
    std::vector<std::string> keys;
    std::vector<size_t> shown;
    for (size_t i = 0; i < list.size(); ++i) {
      std::string key;
      AppendString(&key, list[i].name);
      size_t k = 0;
      while (k < keys.size() && keys[k] != key) ++k;
      if (k == keys.size()) {
        keys.push_back(std::move(key));
        shown.push_back(i);
      } else {
        shown[k] = i;
      }
    }
    std::string record;
    std::string line;
    for (uint32_t r = 1; r <= count; ++r) {
      if (!area->GoTo(r) || !area->GetRecord(&record) || session.failed()) {
        return Fail(io, "record " + std::to_string(r) + ": " + session.FirstError());
      }
      line.assign("{\"recno\":");
      line += std::to_string(r);
      line += !record.empty() && record[0] == kDbfDeleted ? ",\"deleted\":true,\"fields\":{"
                                                          : ",\"deleted\":false,\"fields\":{";
      for (size_t k = 0; k < keys.size(); ++k) {
        if (k > 0) line += ',';
        line += keys[k];
        line += ':';
        AppendField(&line, area, static_cast<uint16_t>(shown[k] + 1), list[shown[k]], record);
      }
      if (session.failed()) {
        return Fail(io, "record " + std::to_string(r) + ": " + session.FirstError());
      }
      line += "}}\n";
      io.out << line;
    }
    return 0;
  }

 private:
  std::string file_;
};

}  // namespace

std::unique_ptr<Command> MakeDumpCommand() {
  return std::make_unique<DumpCommand>();
}

}  // namespace px::pxdb
