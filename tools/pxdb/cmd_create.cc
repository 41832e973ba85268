// pxdb create [--force] FILE NAME:TYPE:LEN[:DEC] ...: creates a table (and its memo file
// when there is an M field). An existing file is replaced only with --force.
#include <CLI/CLI.hpp>
#include <charconv>
#include <set>

#include "engine/dbf/dbf_format.h"
#include "engine/workarea/registry.h"
#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "tools/pxdb/command.h"
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

// Parses NAME:TYPE:LEN[:DEC]; false with the reason in *why.
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

class CreateCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.add_option("FILE", file_, "table file (.dbf is added when there is no extension)")
        ->required();
    sub.add_option("FIELDS", specs_, "fields as NAME:TYPE:LEN[:DEC]")->required();
    sub.add_flag("--force", force_, "replace an existing file");
  }

  int Run(const GlobalOptions& /*options*/, Io& io) override {
    std::vector<FieldDef> fields;
    std::set<std::string> names;
    for (const std::string& spec : specs_) {
      FieldDef f;
      std::string why;
      if (!ParseFieldSpec(spec, &f, &why)) return Fail(io, "field " + spec + ": " + why);
      if (!names.insert(f.name).second) return Fail(io, "field " + spec + ": duplicate name");
      fields.push_back(f);
    }
    std::string name = file_;
    std::string folder, file, base, ext;
    SplitPath(name, &folder, &file);
    SplitExtension(file, &base, &ext);
    if (ext.empty()) name += ".dbf";
    if (!force_ && GetEnv()->FileExists(name)) {
      return Fail(io, name + " exists (use --force to replace it)");
    }

    EngineSession session;
    DBSELECTAREA(0);
    WorkArea* area = NewAreaInCurrentSlot("");
    if (area == nullptr) return Fail(io, "no table driver");
    OpenInfo info;
    info.area = area->area_number();
    info.file_name = name;
    const bool created = area->CreateFields(fields) && area->Create(info);
    area->Close();
    ReleaseCurrentArea();
    if (!created || session.failed()) {
      return Fail(io, session.failed() ? session.FirstError() : "cannot create " + name);
    }
    return 0;
  }

 private:
  std::string file_;
  std::vector<std::string> specs_;
  bool force_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeCreateCommand() {
  return std::make_unique<CreateCommand>();
}

}  // namespace px::pxdb
