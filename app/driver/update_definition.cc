#include "app/driver/update_definition.h"

#include <cstdlib>
#include <memory>

#include "app/data/catalogue_fields.h"
#include "archive/read_entry.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "runtime/error.h"

namespace px {

namespace {

std::string SystemTempFolder() {
  for (const char* name : {"TEMP", "TMPDIR"}) {
    const char* folder = std::getenv(name);
    if (folder != nullptr && *folder != '\0') return folder;
  }
  return "/tmp";
}

// A file in the system's temporary folder, removed when it goes.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& bytes) {
    Env* env = GetEnv();
    const std::string folder = SystemTempFolder();
    const char sep = folder.find('\\') != std::string::npos ? '\\' : '/';
    // One name, replaced when an earlier run left it; an installer running at the same
    // time on this machine holds its own, and the next name is taken then.
    for (int attempt = 0; attempt < 20 && name_.empty(); ++attempt) {
      const std::string name = folder + sep + "pxupddef" +
                               (attempt == 0 ? std::string() : std::to_string(attempt)) + ".dbf";
      int code = 0;
      std::unique_ptr<File> f = env->CreateFile(name, FileShare::kExclusive, &code);
      if (f == nullptr) continue;
      const bool whole =
          f->WriteAt(0, bytes.data(), bytes.size()) == static_cast<int64_t>(bytes.size());
      f.reset();
      if (whole) {
        name_ = name;
      } else {
        env->DeleteFile(name);
      }
    }
  }
  ~ScratchFile() {
    if (!name_.empty()) GetEnv()->DeleteFile(name_);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // The file's name; "" when it could not be written.
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

std::string TextField(const char* name) {
  const int pos = FIELDPOS(name);
  const Value v = pos > 0 ? FIELDGET(pos) : Value();
  return v.is_string() ? TrimRight(v.str()) : std::string();
}

}  // namespace

UpdateDefinitionRow CurrentUpdateDefinitionRow() {
  UpdateDefinitionRow row;
  row.name = TextField("DB_NAME");
  row.path = TextField("PATH");
  const int bring = FIELDPOS("BRING_RECS");
  const Value v = bring > 0 ? FIELDGET(bring) : Value();
  row.bring_recs = v.is_logical() && v.logical();
  return row;
}

bool ReadUpdateDefinition(const std::string& archive, const std::string& password,
                          std::vector<UpdateDefinitionRow>* rows) {
  rows->clear();
  std::string bytes;
  if (ReadArchiveEntry(archive, "updatdef.dbf", password, &bytes) != 0) return false;
  ScratchFile scratch(bytes);
  if (scratch.name().empty()) return false;
  QuietErrors quiet;
  const int area = SELECT();
  DBSELECTAREA(0);
  // Deleted rows stay hidden, as in the migration's walk.
  const bool opened = DBUSEAREA(false, "", scratch.name(), "PXUPDDEF", false, true);
  if (opened) {
    for (DBGOTOP(); !EOF_() && !quiet.failed(); DBSKIP(1)) {
      rows->push_back(CurrentUpdateDefinitionRow());
    }
    DBCLOSEAREA();
  }
  DBSELECTAREA(area);
  return opened && !quiet.failed();
}

}  // namespace px
