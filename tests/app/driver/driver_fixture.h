// What the update driver's tests share: building tables and update archives, reading
// tables back, and a test fixture with an installation folder, an update folder on
// drive D:, a console user interface with scripted answers, a fake clock and a
// process runner that records launches.
#ifndef PX_TESTS_APP_DRIVER_DRIVER_FIXTURE_H_
#define PX_TESTS_APP_DRIVER_DRIVER_FIXTURE_H_

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/driver/path_vars.h"
#include "app/driver/progress.h"
#include "runtime/env.h"
#include "runtime/error.h"
#include "runtime/memvars.h"
#include "runtime/process.h"
#include "runtime/value.h"
#include "tests/forked_process.h"
#include "tests/test_util.h"
#include "ui/backend.h"
#include "ui/console_backend.h"

namespace px::test {

struct FieldSpec {
  std::string name{};
  char type = 'C';
  int len = 10;
  int dec = 0;
};
using Row = std::map<std::string, Value>;

// Creates the table (and its memo file when it has M fields) with the rows; a field a
// row does not name stays blank. `file` has no extension.
void MakeTable(const std::string& file, const std::vector<FieldSpec>& fields,
               const std::vector<Row>& rows);

struct TableData {
  std::vector<FieldSpec> fields;
  std::vector<Row> rows;  // every record in record order, deleted ones too
  std::vector<bool> deleted;
  // The records that are not deleted.
  std::vector<Row> Live() const;
  bool Has(const std::string& field) const;
};
// Reads every record of a table (opened exclusively, read-only).
TableData ReadTable(const std::string& file);

// Character values compare without trailing blanks.
std::string Text(const Value& v);

// Records launches; "backup.bat" is run for real with PKZIP found in the build's
// tools folder when the zip program is built, every other program only recorded.
class RecordingRunner : public ProcessRunner {
 public:
  LaunchResult Run(const LaunchRequest& request, bool wait,
                   const std::function<void()>& after_start,
                   const std::function<void()>& while_waiting) override;
  std::vector<std::string> command_lines;
  int batch_exit_code = -1;         // of the last batch run
  std::optional<int> batch_answer;  // when set, batches are not run and end with this
};

// Scripted answers to a dialog: texts for its fields, then a button ("" closes it).
DialogAnswer Answer(std::vector<std::optional<std::string>> fields, std::string button);
DialogAnswer Press(std::string button);
DialogAnswer Inspect(std::function<void(TDialog&)> before, std::string button);

// The pkzip program of the build, or "" when it is not built.
std::string PkzipBinary();

class DriverTest : public testing::Test {
 protected:
  DriverTest();
  ~DriverTest() override;
  // Skips on Windows without the test's own drive D: (see Upd).
  void SetUp() override;

  // Host paths of the installation folder ("inst") and the update folder ("upd",
  // drive D:; on Windows the root of D:, a drive tests/wine_run.sh gives the run), and
  // the DOS form of the installation folder.
  std::string Inst(const std::string& name = "") const;
  std::string Upd(const std::string& name = "") const;
  std::string InstDos() const;

  // A minimal installation: indexdef with its index, sysinfo (BACKUP 0, QUOSERIAL 100)
  // and a program PX that does nothing.
  void MakeInstallation();
  // Adds a table to the installation: its catalogue rows (one per index, or one
  // without an index), the table in the folder (relative to the installation, ending
  // in "\" or empty) and its index files.
  struct IndexSpec {
    std::string name;
    std::string key;
  };
  void AddTable(const std::string& alias, const std::vector<FieldSpec>& fields,
                const std::vector<Row>& rows, const std::vector<IndexSpec>& indexes = {},
                const std::string& folder = "");
  // Rebuilds indexdef.ntx after catalogue rows were added.
  void IndexCatalogue();
  // An update definition and the files of the archive, written into a staging folder
  // and packed into D:\PXUPD.zip (password "tamrok").
  struct UpdateTable {
    std::string name{};
    bool bring_recs = false;
    std::vector<FieldSpec> fields{};
    std::vector<Row> rows{};
  };
  void MakeUpdate(const std::vector<UpdateTable>& tables,
                  const std::vector<std::pair<std::string, std::string>>& other_files = {},
                  const std::string& password = "tamrok");
  // Writes the update's tables and its updatdef into `folder`; the files written,
  // updatdef.dbf first.
  static std::vector<std::string> WriteUpdateTables(const std::string& folder,
                                                    const std::vector<UpdateTable>& tables);

  // Console lines written so far (and forgets them).
  std::vector<std::string> TakeLines();
  // True when a line equals the text.
  static bool HasLine(const std::vector<std::string>& lines, const std::string& line);
  // Index of the first line containing the text, -1 when none.
  static int FindLine(const std::vector<std::string>& lines, const std::string& part);

  ScratchDir scratch_;
  // The system temporary folder the update's scratch files go to, the fixture's own: a
  // test that counts the update's file changes must not see a name already taken by
  // another program running on the machine.
  std::string saved_temp_;
  bool had_temp_ = false;
  std::ostringstream out_;
  ConsoleBackend backend_;
  std::unique_ptr<ScopedUiBackend> ui_scope_;
  FakeClockEnv clock_;
  std::unique_ptr<ScopedEnv> env_scope_;
  RecordingRunner runner_;
  std::unique_ptr<ScopedProcessRunner> runner_scope_;
};

// A DriverTest with the path variables of an update from D: into the installation
// folder published, and a progress display for the phases run by hand.
// Another workstation holding a file open as the application opens it (read and write,
// shared) while the object lives. Share modes on POSIX systems are locks, which a process
// does not hold against itself, so there the holder is a child process; Windows keeps share
// modes per open, so there an open of this process stands for it.
class OpenElsewhere {
 public:
  explicit OpenElsewhere(const std::string& host_path);
  ~OpenElsewhere();
  OpenElsewhere(const OpenElsewhere&) = delete;
  OpenElsewhere& operator=(const OpenElsewhere&) = delete;
  bool holding() const { return holding_; }

 private:
  bool holding_ = false;
  std::unique_ptr<File> file_;
  std::unique_ptr<ForkedProcess> other_;
};

class PathVarsTest : public DriverTest {
 protected:
  PathVarsTest();

  ScopedMemVars vars_;
  PathVars paths_;
  Progress progress_;
};

}  // namespace px::test

#endif  // PX_TESTS_APP_DRIVER_DRIVER_FIXTURE_H_
