// pxdb export FILE [--fields A,B,...] [--deleted] [--encoding cp1252|cp850|latin1]: the
// records of a table as CSV on standard output, for a spreadsheet.
//
// CSV as RFC 4180 has it: a header row of field names, every row ending in CR LF, a
// value in double quotes (its quotes doubled) when it holds a comma, a quote, a CR or a
// LF. Text is UTF-8, converted from the table's code page (cp1252 unless told
// otherwise). Character fields lose their trailing blanks; numbers are written as
// stored (the field's text without blanks; binary numbers as pxdb dump writes them),
// dates as YYYY-MM-DD (blank: empty), logicals as T or F, memo fields with their whole
// text. Records marked deleted are left out unless --deleted is given, which adds them
// and a last column _DELETED (T or F). Records are read and written one by one, so
// tables of any size export in little memory.
#include <CLI/CLI.hpp>
#include <cctype>
#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>

#include "runtime/date.h"
#include "tools/pxdb/code_page.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

constexpr size_t kFlushSize = 1 << 16;

// Appends a value, quoted when it must be.
void AppendCell(std::string_view utf8, std::string* row) {
  if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) {
    row->append(utf8);
    return;
  }
  row->push_back('"');
  for (const char c : utf8) {
    if (c == '"') row->push_back('"');
    row->push_back(c);
  }
  row->push_back('"');
}

std::string_view TrimRightBlanks(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

class ExportCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("FILE", file_, "table file")->required();
    sub.add_option("--fields", fields_, "the fields to export, in this order (default: all)")
        ->delimiter(',');
    sub.add_flag("--deleted", deleted_,
                 "also export the records marked deleted, with a last column _DELETED");
    sub.add_option("--encoding", encoding_,
                   "code page of the table: cp1252 (default), cp850, latin1");
    sub.footer(
        "Writes CSV (RFC 4180, UTF-8, CR LF) to standard output: a header row of field\n"
        "names, then one row per record. Dates are YYYY-MM-DD, logicals T or F.");
  }

  int Run(const GlobalOptions& options, Io& io) override {
    const std::optional<CodePage> page = CodePageNamed(encoding_);
    if (!page) return Fail(io, "unknown encoding " + encoding_ + ": use cp1252, cp850 or latin1");
    EngineSession session;
    std::string message;
    DbfArea* area = OpenTable(file_, options, /*read_only=*/true, session, &message);
    if (area == nullptr) return Fail(io, message);

    const std::vector<DbfField>& all = area->fields();
    std::vector<size_t> columns;  // indexes into `all`
    if (fields_.empty()) {
      for (size_t i = 0; i < all.size(); ++i) columns.push_back(i);
    }
    for (const std::string& wanted : fields_) {
      std::string upper = Trim(wanted);
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      size_t i = 0;
      while (i < all.size() && all[i].name != upper) ++i;
      if (i == all.size()) return Fail(io, "the table has no field " + wanted);
      columns.push_back(i);
    }

    std::string out;
    for (size_t c = 0; c < columns.size(); ++c) {
      if (c > 0) out.push_back(',');
      std::string name;
      AppendUtf8(all[columns[c]].name, *page, &name);
      AppendCell(name, &out);
    }
    out += deleted_ ? ",_DELETED\r\n" : "\r\n";

    uint32_t count = 0;
    area->RecCount(&count);
    std::string record, cell;
    for (uint32_t r = 1; r <= count; ++r) {
      if (!area->GoTo(r) || !area->GetRecord(&record) || session.failed()) {
        io.out << out;
        return Fail(io, "record " + std::to_string(r) + ": " + session.FirstError());
      }
      const bool is_deleted = !record.empty() && record[0] == kDbfDeleted;
      if (is_deleted && !deleted_) continue;
      for (size_t c = 0; c < columns.size(); ++c) {
        if (c > 0) out.push_back(',');
        cell.clear();
        if (!Cell(area, columns[c], all[columns[c]], record, *page, &cell)) {
          io.out << out;
          return Fail(io, "record " + std::to_string(r) + ": " + session.FirstError());
        }
        AppendCell(cell, &out);
      }
      if (deleted_) out += is_deleted ? ",T" : ",F";
      out += "\r\n";
      if (out.size() >= kFlushSize) {
        io.out << out;
        out.clear();
      }
    }
    io.out << out;
    io.out.flush();
    return io.out ? 0 : Fail(io, "cannot write the output");
  }

 private:
  // The text of one field of the record, as UTF-8.
  static bool Cell(WorkArea* area, size_t index, const DbfField& f, const std::string& record,
                   CodePage page, std::string* cell) {
    const std::string_view stored(record.data() + f.offset, f.len);
    switch (f.kind) {
      case 'C':
        AppendUtf8(TrimRightBlanks(stored), page, cell);
        return true;
      case 'N':
        AppendUtf8(Trim(stored), page, cell);
        return true;
      default:
        break;
    }
    Value v;
    if (!area->GetValue(static_cast<uint16_t>(index + 1), &v)) return false;
    switch (f.kind) {
      case 'D':
        if (v.date() != 0) {
          const std::string d = DateToDtos(v.date());
          *cell = d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2);
        }
        return true;
      case 'L':
        *cell = v.logical() ? "T" : "F";
        return true;
      case 'B':
        if (std::isfinite(v.number())) *cell = nlohmann::json(v.number()).dump();
        return true;
      case 'I':
        *cell = std::to_string(v.integer());
        return true;
      default:
        AppendUtf8(v.str(), page, cell);
        return true;
    }
  }

  std::string file_;
  std::vector<std::string> fields_;
  bool deleted_ = false;
  std::string encoding_ = "cp1252";
};

}  // namespace

std::unique_ptr<Command> MakeExportCommand() {
  return std::make_unique<ExportCommand>();
}

}  // namespace px::pxdb
