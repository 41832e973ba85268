#include "app/driver/backzip.h"

#include "app/data/catalogue_fields.h"
#include "app/driver/driver_vars.h"
#include "app/driver/layout.h"
#include "app/driver/open_by_alias.h"
#include "app/driver/recovery.h"
#include "engine/expr/str_format.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"
#include "runtime/directory.h"
#include "runtime/folders.h"
#include "runtime/memowrit.h"
#include "ui/dialog.h"
#include "ui/get.h"
#include "ui/launch.h"
#include "ui/messages.h"
#include "ui/wait.h"

namespace px {

namespace {

// Draws the archive number from sysinfo's BACKUP counter; "" when it cannot be read.
std::string DrawBackupNumber() {
  if (!OpenByAlias("sysinfo", false)) return "";
  std::string number;
  const int counter = FIELDPOS("BACKUP");
  if (counter > 0 && !EOF_()) {
    if (FIELDGET(counter).number() == 0 && RECLOCK(2)) {
      FIELDPUT(counter, Value::Integer(1));
      DBUNLOCK();
    }
    number = AllTrim(STR(FIELDGET(counter)));
    if (RECLOCK(2)) {
      FIELDPUT(counter, Value::Integer(FIELDGET(counter).integer() + 1));
      DBUNLOCK();
    }
  }
  DBCLOSEAREA();
  return number;
}

}  // namespace

std::string BackupCommandLine(const std::string& archive_path, bool have_pkzip25) {
  return (have_pkzip25 ? "PKZIP25 -add " : "PKZIP ") + archive_path + " *.db*";
}

BackupResult BACKZIP() {
  CallStep step("BACKZIP");
  BackupResult result;
  const int area = SELECT();
  std::string text = "Please Wait....";
  RecoveryPoint([&] {
    MAKEDIR(Value::String("backup"));
    std::shared_ptr<TDialog> window = TDialog::New({.top = 6,
                                                    .left = 10,
                                                    .bottom = 13,
                                                    .right = 68,
                                                    .caption = "Making Compulsory Backup of Data"});
    std::shared_ptr<TGet> field = TGet::New({.row = 1,
                                             .col = 3,
                                             .var = BindString(&text),
                                             .owner = window.get(),
                                             .width = UnitsAcross(180),
                                             .height = UnitsDown(12),
                                             .read_only = true});
    window->Activate({.modal = false});
    CURSORWAIT();

    const std::string archive = TrimRight("backup\\PXB" + DrawBackupNumber());
    text = "Compressing Copy of Data Files.";
    field->Refresh();
    SYSREFRESH();

    const bool pkzip25 = FILE(Value::String("pkzip25.exe"));
    MEMOWRIT(Value::String("BACKUP.BAT"),
             Value::String(BackupCommandLine(archive, pkzip25) + "\r\n"));
    DBCLOSEALL();
    result.archive = archive;
    MSGRUN(Value::String("Creating.  Please Wait..."), Value::String("Zip (Working)"),
           [&](TDialog&) { result.exit_code = WAITRUN("backup.bat", kShow); });
    window->End();
  });
  DBSELECTAREA(area);
  return result;
}

}  // namespace px
