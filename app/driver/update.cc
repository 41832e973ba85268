#include "app/driver/update.h"

#include "app/data/catalogue_fields.h"
#include "app/driver/driver_vars.h"
#include "app/driver/getdir.h"
#include "app/driver/layout.h"
#include "app/driver/recovery.h"
#include "app/driver/snapshot.h"
#include "app/driver/update1.h"
#include "app/driver/update_log.h"
#include "runtime/call_stack.h"
#include "runtime/dos_path.h"
#include "runtime/folders.h"
#include "runtime/memvars.h"
#include "ui/button.h"
#include "ui/dialog.h"
#include "ui/get.h"
#include "ui/messages.h"
#include "ui/say.h"
#include "ui/window.h"

namespace px {

namespace {

constexpr size_t kLongestPath = 4096;

}  // namespace

DriveAndFolder SplitDialogPath(std::string_view value) {
  std::string v = AllTrim(value);
  if (!v.empty() && v[0] == '/') v = HostToDos(v);
  DriveAndFolder out;
  out.drive = v.substr(0, 2);
  out.folder = v.size() > 2 ? TrimRight(v.substr(2)) : std::string();
  if (AllTrim(out.folder) == "\\") out.folder.clear();
  return out;
}

void UPDATE(UpdateLog* log) {
  CallStep step("UPDATE");
  // The per-table working variables of the migration live as long as UPDATE (the memo
  // file names too, so that none outlives it).
  ScopedMemVars vars;
  for (const char* name : {"TDB_NAME", "TDB_PATH", "TDB_FILE", "TDB_FILE1", "TDB_FILE2", "TDB_NEW",
                           "TDB_NEW1", "TDB_NEW2"}) {
    vars.Create(name, Value::String(""));
  }
  bool confirmed = false;
  std::string source = "D:\\" + std::string(30, ' ');
  // An edit field takes no more characters than its value holds when it is made: the
  // source is given room for a folder path of any length the host allows, not only
  // the 33 characters of its initial value. The blanks are trimmed when it is split.
  source.resize(kLongestPath, ' ');
  std::string target = PadRight("\\PX", 30);

  RecoveryPoint([&] {
    if (std::shared_ptr<TWindow> window = MainWindowVar()) window->Iconize();
    CURSORWAIT();
    target = PadRight(CURDRIVE() + ":\\" + GETCURDIR(), 30);

    const auto not_empty = [](const std::string& s) { return !AllTrim(s).empty(); };
    std::shared_ptr<TDialog> dialog = TDialog::New({.top = 50,
                                                    .left = 50,
                                                    .bottom = 190,
                                                    .right = 720,
                                                    .caption = "Update ParVex",
                                                    .pixel = true,
                                                    .font = DriverFontVar()});
    TDialog* d = dialog.get();
    TSay::New({.row = RowOf(7),
               .col = ColOf(70),
               .text = ConstText("Drive:Folder"),
               .owner = d,
               .pixel = true,
               .width = UnitsAcross(40),
               .height = UnitsDown(12)});
    // The right-aligned labels end just before the fields: from column 10 they would be
    // too narrow for their texts.
    TSay::New({.row = RowOf(20),
               .col = 0,
               .text = ConstText("Update From:"),
               .owner = d,
               .right = true,
               .pixel = true,
               .width = UnitsAcross(66),
               .height = UnitsDown(12)});
    TSay::New({.row = RowOf(33),
               .col = 0,
               .text = ConstText("Update To:"),
               .owner = d,
               .right = true,
               .pixel = true,
               .width = UnitsAcross(66),
               .height = UnitsDown(12)});
    std::shared_ptr<TGet> source_get = TGet::New({.row = RowOf(20),
                                                  .col = ColOf(70),
                                                  .var = BindString(&source),
                                                  .owner = d,
                                                  .width = UnitsAcross(150),
                                                  .height = UnitsDown(12),
                                                  .picture = "@!",
                                                  .valid = [&] { return not_empty(source); },
                                                  .pixel = true});
    TGet::New({.row = RowOf(33),
               .col = ColOf(70),
               .var = BindString(&target),
               .owner = d,
               .width = UnitsAcross(150),
               .height = UnitsDown(12),
               .picture = "@!",
               .valid = [&] { return not_empty(target); },
               .pixel = true,
               .read_only = true});
    TButton::New({.row = RowOf(55),
                  .col = ColOf(10),
                  .caption = "&OK",
                  .owner = d,
                  .action =
                      [&] {
                        confirmed = true;
                        d->End();
                      },
                  .width = UnitsAcross(45),
                  .height = UnitsDown(12),
                  .is_default = true,
                  .pixel = true});
    // Cancel leaves without validating the field, so that an empty source does not
    // keep the user in the dialog.
    TButton::New({.row = RowOf(55),
                  .col = ColOf(60),
                  .caption = "&Cancel",
                  .owner = d,
                  .action =
                      [&] {
                        confirmed = false;
                        d->End();
                      },
                  .width = UnitsAcross(45),
                  .height = UnitsDown(12),
                  .pixel = true,
                  .cancel = true});
    // Browse does not validate either (an empty source is what one browses to fill);
    // what was typed is taken as the chooser's starting point.
    TButton::New({.row = RowOf(19.5),
                  .col = ColOf(220),
                  .caption = "B&rowse",
                  .owner = d,
                  .action =
                      [&, get = source_get.get()] {
                        get->Assign();
                        source = GETDIR("Update From", source);
                        get->Refresh();
                      },
                  .width = UnitsAcross(35),
                  .height = UnitsDown(12),
                  .pixel = true,
                  .cancel = true});
    dialog->Activate({.centred = true,
                      .on_init = [](TDialog& shown) { SnapshotDialog(shown, "update_dialog"); }});

    if (!confirmed) {
      if (log != nullptr) log->Abandoned();
      MSGALERT("Installation Abandoned!");
      BREAK();
    }
    const DriveAndFolder from = SplitDialogPath(source);
    const DriveAndFolder to = SplitDialogPath(target);
    UPDATE1(from.drive, to.drive, TrimRight(to.folder), TrimRight(from.folder), "PX", "PXUPD", log);
  });
}

}  // namespace px
