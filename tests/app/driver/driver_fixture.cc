#include "tests/app/driver/driver_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "archive/update_archive.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "runtime/dos_path.h"
#include "runtime/settings.h"
#include "ui/backend.h"

namespace px::test {

namespace {

ConsoleBackend::Options ConsoleTo(std::ostringstream* out) {
  ConsoleBackend::Options o;
  o.out = out;
  return o;
}

std::string BaseUpper(const std::string& program) {
  std::string file;
  SplitPath(program, nullptr, &file);
  std::string out;
  for (char c : file) out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  if (out.size() > 4 && out.substr(out.size() - 4) == ".EXE") out.resize(out.size() - 4);
  return out;
}

void WriteScript(const std::string& path, const std::string& body) {
  WriteFileBytes(path, "#!/bin/sh\n" + body + "\n");
  chmod(path.c_str(), 0755);
}

}  // namespace

void MakeTable(const std::string& file, const std::vector<FieldSpec>& fields,
               const std::vector<Row>& rows) {
  std::vector<Value> structure;
  for (const FieldSpec& f : fields) {
    structure.push_back(Value::Array({Value::String(f.name), Value::String(std::string(1, f.type)),
                                      Value::Integer(f.len), Value::Integer(f.dec)}));
  }
  const int before = SELECT();
  ASSERT_TRUE(DBCREATE(file, Value::Array(structure))) << file;
  DBSELECTAREA(0);
  ASSERT_TRUE(DBUSEAREA(false, "", file, "MAKETABLE", false, false)) << file;
  for (const Row& row : rows) {
    ASSERT_TRUE(DBAPPEND());
    for (const auto& [name, value] : row) {
      if (name == "_DELETED") {
        if (value.logical()) DBDELETE();
        continue;
      }
      const int pos = FIELDPOS(name);
      ASSERT_GT(pos, 0) << name;
      FIELDPUT(pos, value);
    }
  }
  DBCLOSEAREA();
  DBSELECTAREA(before);
}

std::vector<Row> TableData::Live() const {
  std::vector<Row> live;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!deleted[i]) live.push_back(rows[i]);
  }
  return live;
}

bool TableData::Has(const std::string& field) const {
  for (const FieldSpec& f : fields) {
    if (f.name == field) return true;
  }
  return false;
}

TableData ReadTable(const std::string& file) {
  TableData data;
  const int before = SELECT();
  DBSELECTAREA(0);
  if (!DBUSEAREA(false, "", file, "READTABLE", false, true)) {
    ADD_FAILURE() << "cannot open " << file;
    DBSELECTAREA(before);
    return data;
  }
  const Value structure = DBSTRUCT();
  for (const Value& f : structure.array()) {
    data.fields.push_back({f.array()[0].str(), f.array()[1].str()[0],
                           static_cast<int>(f.array()[2].integer()),
                           static_cast<int>(f.array()[3].integer())});
  }
  const uint32_t count = RECCOUNT();
  for (uint32_t i = 1; i <= count; ++i) {
    DBGOTO(i);
    Row row;
    for (size_t f = 0; f < data.fields.size(); ++f) {
      row[data.fields[f].name] = FIELDGET(static_cast<int>(f + 1));
    }
    data.rows.push_back(row);
    data.deleted.push_back(DELETED());
  }
  DBCLOSEAREA();
  DBSELECTAREA(before);
  return data;
}

std::string Text(const Value& v) {
  std::string s = v.str();
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

DialogAnswer Answer(std::vector<std::optional<std::string>> fields, std::string button) {
  DialogAnswer a;
  a.fields = std::move(fields);
  a.button = std::move(button);
  return a;
}

DialogAnswer Press(std::string button) {
  return Answer({}, std::move(button));
}

DialogAnswer Inspect(std::function<void(TDialog&)> before, std::string button) {
  DialogAnswer a = Press(std::move(button));
  a.before = std::move(before);
  return a;
}

std::string PkzipBinary() {
#ifdef PX_PKZIP_BINARY
  return PX_PKZIP_BINARY;
#else
  return "";
#endif
}

#ifdef _WIN32
namespace {

void PutZipProgramOnPath() {
  std::string folder = PkzipBinary();
  folder.resize(folder.find_last_of("\\/"));
  for (char& c : folder) {
    if (c == '/') c = '\\';
  }
  const char* path = std::getenv("PATH");
  const std::string now = path != nullptr ? path : "";
  if (now.rfind(folder + ";", 0) != 0) SetEnvVar("PATH", folder + ";" + now);
}

}  // namespace
#endif

namespace {

std::unique_ptr<File> OpenAsTheApplication(const std::string& host_path) {
  int code = 0;
  return Env::Default()->OpenFile(host_path, FileAccess::kReadWrite, FileShare::kDenyNone, &code);
}

}  // namespace

#ifdef _WIN32
OpenElsewhere::OpenElsewhere(const std::string& host_path)
    : file_(OpenAsTheApplication(host_path)) {
  holding_ = file_ != nullptr;
}

OpenElsewhere::~OpenElsewhere() = default;
#else
OpenElsewhere::OpenElsewhere(const std::string& host_path) {
  other_ = std::make_unique<ForkedProcess>([&](Channel& channel) {
    const std::unique_ptr<File> f = OpenAsTheApplication(host_path);
    if (!channel.Send(f != nullptr ? 'y' : 'n')) return 1;
    channel.Receive(-1);  // until let go
    return 0;
  });
  holding_ = other_->started() && other_->channel().Receive() == 'y';
}

OpenElsewhere::~OpenElsewhere() {
  other_->channel().Send('x');
  other_->Join();
}
#endif

LaunchResult RecordingRunner::Run(const LaunchRequest& request, bool wait,
                                  const std::function<void()>& after_start,
                                  const std::function<void()>& while_waiting) {
  command_lines.push_back(request.command_line);
  if (request.is_batch && batch_answer) {
    if (after_start) after_start();
    batch_exit_code = *batch_answer;
    LaunchResult r;
    r.started = true;
    r.exit_code = wait ? *batch_answer : -1;
    return r;
  }
  if (request.is_batch && !PkzipBinary().empty()) {
#ifdef _WIN32
    // The command processor runs the batch file itself and looks PKZIP up on PATH.
    PutZipProgramOnPath();
#endif
    LaunchRequest real = request;
    for (Command& c : real.commands) {
      const std::string base = BaseUpper(c.program);
      if (base == "PKZIP" || base == "PKZIP25") c.program = PkzipBinary();
    }
    const LaunchResult r = ProcessRunner::Default()->Run(real, wait, after_start, while_waiting);
    batch_exit_code = r.exit_code;
    return r;
  }
  if (after_start) after_start();
  LaunchResult r;
  r.started = true;
  r.exit_code = wait ? 0 : -1;
  return r;
}

#ifdef _WIN32
namespace {

// Whether this run has a drive D: of its own for the update folder (POSIX systems map
// D: to a folder instead).
bool HaveTestDriveD() {
  const char* d = std::getenv("PX_TEST_DRIVE_D");
  return d != nullptr && *d;
}

}  // namespace
#endif

DriverTest::DriverTest()
    : backend_(ConsoleTo(&out_)),
      ui_scope_(std::make_unique<ScopedUiBackend>(&backend_)),
      clock_(Env::Default()),
      env_scope_(std::make_unique<ScopedEnv>(&clock_)),
      runner_scope_(std::make_unique<ScopedProcessRunner>(&runner_)) {
  std::filesystem::create_directories(Inst());
  std::filesystem::create_directories(Upd());
  if (const char* temp = std::getenv("TEMP"); temp != nullptr) {
    had_temp_ = true;
    saved_temp_ = temp;
  }
  std::filesystem::create_directories(scratch_.path() + "/systemp");
  test::SetEnvVar("TEMP", scratch_.path() + "/systemp");
#ifdef _WIN32
  // The update folder is drive D: itself; it starts empty.
  std::error_code ec;
  if (HaveTestDriveD()) {
    for (const auto& e : std::filesystem::directory_iterator(Upd(), ec)) {
      std::filesystem::remove_all(e.path(), ec);
    }
  }
#else
  GetDriveMap().Set('D', Upd());
#endif
  if (chdir(Inst().c_str()) != 0) ADD_FAILURE() << "cannot enter " << Inst();
}

DriverTest::~DriverTest() {
  ResetWorkAreasForTesting();
#ifndef _WIN32
  GetDriveMap().Remove('D');
#endif
  if (had_temp_) {
    test::SetEnvVar("TEMP", saved_temp_);
  } else {
    test::UnsetEnvVar("TEMP");
  }
  if (chdir(scratch_.path().c_str()) != 0) {
    // The scratch folder goes with the fixture anyway.
  }
}

std::string DriverTest::Inst(const std::string& name) const {
  return scratch_.path() + "/inst" + (name.empty() ? "" : "/" + name);
}

void DriverTest::SetUp() {
#ifdef _WIN32
  if (!HaveTestDriveD()) {
    GTEST_SKIP() << "the update folder is drive D:, which tests/wine_run.sh provides";
  }
#endif
}

std::string DriverTest::Upd(const std::string& name) const {
#ifdef _WIN32
  return "D:\\" + name;
#else
  return scratch_.path() + "/upd" + (name.empty() ? "" : "/" + name);
#endif
}

std::string DriverTest::InstDos() const {
  return HostToDos(Inst());
}

void DriverTest::MakeInstallation() {
  const std::vector<FieldSpec> catalogue = {
      {"DB_ALIAS", 'C', 10}, {"DB_NAME", 'C', 10}, {"IN_NAME", 'C', 10},  {"IN_STR", 'C', 60},
      {"PATH", 'C', 40},     {"PACK", 'L', 1},     {"ZAPONINIT", 'L', 1}, {"LIB", 'L', 1},
      {"MULTI", 'L', 1},     {"UNIQUE", 'L', 1},   {"FLOPPY", 'L', 1}};
  MakeTable(Inst("indexdef"), catalogue, {});
  AddTable("sysinfo", {{"BACKUP", 'N', 5}, {"QUOSERIAL", 'N', 8}},
           {{{"BACKUP", Value::Integer(0)}, {"QUOSERIAL", Value::Integer(100)}}});
  WriteScript(Inst("PX"), "exit 0");
}

void DriverTest::AddTable(const std::string& alias, const std::vector<FieldSpec>& fields,
                          const std::vector<Row>& rows, const std::vector<IndexSpec>& indexes,
                          const std::string& folder) {
  std::string host_folder = folder;
  for (char& c : host_folder) {
    if (c == '\\') c = '/';
  }
  if (!host_folder.empty()) std::filesystem::create_directories(Inst(host_folder));
  MakeTable(Inst(host_folder + alias), fields, rows);
  const int before = SELECT();
  DBSELECTAREA(0);
  ASSERT_TRUE(DBUSEAREA(false, "", Inst("indexdef"), "indexdef", false, false));
  std::vector<IndexSpec> entries = indexes;
  if (entries.empty()) entries.push_back({"", ""});
  for (const IndexSpec& index : entries) {
    ASSERT_TRUE(DBAPPEND());
    // The catalogue holds its aliases in upper case, as OPNALIAS looks them up.
    std::string upper = alias;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    FIELDPUT(FIELDPOS("DB_ALIAS"), Value::String(upper));
    FIELDPUT(FIELDPOS("DB_NAME"), Value::String(alias));
    FIELDPUT(FIELDPOS("IN_NAME"), Value::String(index.name));
    FIELDPUT(FIELDPOS("IN_STR"), Value::String(index.key));
    FIELDPUT(FIELDPOS("PATH"), Value::String(folder));
  }
  DBCLOSEAREA();
  for (const IndexSpec& index : indexes) {
    ASSERT_TRUE(DBUSEAREA(false, "", Inst(host_folder + alias), alias, false, false));
    DBCREATEINDEX(Inst(host_folder + index.name), index.key, nullptr, false);
    DBCLOSEAREA();
  }
  DBSELECTAREA(before);
  IndexCatalogue();
}

void DriverTest::IndexCatalogue() {
  const int before = SELECT();
  DBSELECTAREA(0);
  ASSERT_TRUE(DBUSEAREA(false, "", Inst("indexdef"), "indexdef", false, false));
  DBCREATEINDEX(Inst("indexdef"), "indexdef->db_alias", nullptr, false);
  DBCLOSEAREA();
  DBSELECTAREA(before);
}

void DriverTest::MakeUpdate(const std::vector<UpdateTable>& tables,
                            const std::vector<std::pair<std::string, std::string>>& other_files,
                            const std::string& password) {
  const std::string staging = scratch_.path() + "/staging";
  std::filesystem::remove_all(staging);
  std::filesystem::create_directories(staging);
  std::vector<std::string> files = WriteUpdateTables(staging, tables);
  for (const auto& [name, bytes] : other_files) {
    WriteFileBytes(staging + "/" + name, bytes);
    files.push_back(staging + "/" + name);
  }
  std::string error;
  ASSERT_TRUE(MakeUpdateArchive(Upd("PXUPD.zip"), password, files, &error)) << error;
}

std::vector<std::string> DriverTest::WriteUpdateTables(const std::string& folder,
                                                       const std::vector<UpdateTable>& tables) {
  std::vector<Row> rows;
  std::vector<std::string> files = {folder + "/updatdef.dbf"};
  for (const UpdateTable& t : tables) {
    rows.push_back({{"DB_NAME", Value::String(t.name)},
                    {"PATH", Value::String("")},
                    {"BRING_RECS", Value::Logical(t.bring_recs)}});
    MakeTable(folder + "/" + t.name, t.fields, t.rows);
    files.push_back(folder + "/" + t.name + ".dbf");
    if (std::filesystem::exists(folder + "/" + t.name + ".dbt")) {
      files.push_back(folder + "/" + t.name + ".dbt");
    }
  }
  MakeTable(folder + "/updatdef", {{"DB_NAME", 'C', 12}, {"PATH", 'C', 40}, {"BRING_RECS", 'L', 1}},
            rows);
  return files;
}

std::vector<std::string> DriverTest::TakeLines() {
  std::vector<std::string> lines;
  std::istringstream in(out_.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  out_.str("");
  return lines;
}

bool DriverTest::HasLine(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& l : lines) {
    if (l == line) return true;
  }
  return false;
}

int DriverTest::FindLine(const std::vector<std::string>& lines, const std::string& part) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find(part) != std::string::npos) return static_cast<int>(i);
  }
  return -1;
}

PathVarsTest::PathVarsTest() {
  paths_ = PathVars::Make("D:", InstDos().substr(0, 2), InstDos().substr(2), "");
  paths_.Publish(vars_);
}

}  // namespace px::test
