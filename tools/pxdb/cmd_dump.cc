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

Json FieldJson(WorkArea* area, uint16_t pos, const DbfField& f, const std::string& record) {
  const std::string_view stored(record.data() + f.offset, f.len);
  switch (f.kind) {
    case 'C':
      return Latin1ToUtf8(stored);
    case 'N':
      return Latin1ToUtf8(Trim(stored));
    default:
      break;
  }
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
    std::string record;
    for (uint32_t r = 1; r <= count; ++r) {
      if (!area->GoTo(r) || !area->GetRecord(&record) || session.failed()) {
        return Fail(io, "record " + std::to_string(r) + ": " + session.FirstError());
      }
      Json fields = Json::object();
      const std::vector<DbfField>& list = area->fields();
      for (size_t i = 0; i < list.size(); ++i) {
        fields[Latin1ToUtf8(list[i].name)] =
            FieldJson(area, static_cast<uint16_t>(i + 1), list[i], record);
      }
      if (session.failed()) {
        return Fail(io, "record " + std::to_string(r) + ": " + session.FirstError());
      }
      Json line = Json::object();
      line["recno"] = r;
      line["deleted"] = !record.empty() && record[0] == kDbfDeleted;
      line["fields"] = std::move(fields);
      io.out << line.dump() << '\n';
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
