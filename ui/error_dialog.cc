#include "ui/error_dialog.h"

#include <algorithm>
#include <memory>

#include "runtime/env.h"
#include "ui/backend.h"
#include "ui/button.h"
#include "ui/dialog.h"
#include "ui/font.h"
#include "ui/launch.h"
#include "ui/list_box.h"
#include "ui/say.h"
#include "ui/style.h"

namespace px {

// Short enough to stand whole in the title bar of a dialog 300 pixels wide.
const char kErrorDialogCaption[] = "ParVex Run-time Error";
const char kErrorLogViewer[] = "Notepad.exe error.log";

ErrorDialogLayout ErrorDialogLayoutFor(bool can_retry, bool can_default, bool nt_family) {
  ErrorDialogLayout l;
  l.height = nt_family ? 250 : 200;
  l.list.height = nt_family ? 78 : 60;
  const int row = nt_family ? 112 : 88;
  const int count = 1 + (can_retry ? 1 : 0) + (can_default ? 1 : 0);
  auto button = [row](const char* caption, int col) {
    return ErrorDialogLayout::Item{caption, row, col, 30, 11};
  };
  if (can_retry) l.buttons.push_back(button("&Retry", count == 2 ? 82 : 13));
  l.buttons.push_back(button("&Quit", count == 2 ? 37 : 60));
  if (can_default) l.buttons.push_back(button("&Default", 108));
  // Keep them in column order for keyboard navigation.
  std::sort(l.buttons.begin(), l.buttons.end(),
            [](const auto& a, const auto& b) { return a.col < b.col; });
  return l;
}

std::string ErrorLogViewerLine() {
  if (ErrorLogFolder().empty()) return kErrorLogViewer;
  return "Notepad.exe \"" + GetEnv()->HostPath(ErrorLogPath("error.log")) + "\"";
}

void OpenErrorLog() {
  if (WINEXEC(ErrorLogViewerLine()) > 31) return;
  // No Notepad here. A desktop's own opener may start nothing at all when no viewer is
  // installed, so the log is shown in a window of the installer's own.
  std::string text;
  if (!ReadWholeFile(ErrorLogPath("error.log"), &text)) text = "The file Error.log cannot be read.";
  GetUiBackend().ShowText("Error.log", text);
}

ErrorChoice RunErrorDialog(const Error& e, const std::vector<std::string>& stack_lines) {
  // The taller layout of the later hosts: in the shorter one the buttons' row cuts into
  // the stack list.
  const ErrorDialogLayout l = ErrorDialogLayoutFor(e.can_retry, e.can_default, true);
  const int u = kErrorDialogUnit;
  TDialogArgs da;
  da.top = 0;
  da.left = 0;
  da.width = l.width;
  da.height = l.height;
  da.pixel = true;
  da.caption = kErrorDialogCaption;
  // A small dialog font, so that the captions fit the small buttons.
  da.font = TFont::New("Sans", 0, -10);
  std::shared_ptr<TDialog> dialog = TDialog::New(da);
  TDialog* d = dialog.get();

  TSayArgs msg;
  msg.row = l.message.row * u;
  msg.col = l.message.col * u;
  msg.text = ConstText(ERRORMESSAGE(e));
  msg.owner = d;
  msg.centred = true;
  msg.pixel = true;
  msg.width = l.message.width * u;
  msg.height = l.message.height * u;
  TSay::New(msg);

  TSayArgs label;
  label.row = l.label.row * u;
  label.col = l.label.col * u;
  label.text = ConstText(l.label.caption);
  label.owner = d;
  label.pixel = true;
  label.width = l.label.width * u;
  label.height = l.label.height * u;
  TSay::New(label);

  TListBoxArgs list;
  list.row = l.list.row * u;
  list.col = l.list.col * u;
  list.items = stack_lines;
  list.selected = stack_lines.empty() ? 0 : 1;
  list.owner = d;
  list.width = l.list.width * u;
  list.height = l.list.height * u;
  list.pixel = true;
  TListBox::New(list);

  ErrorChoice choice = ErrorChoice::kQuit;
  for (const ErrorDialogLayout::Item& item : l.buttons) {
    TButtonArgs b;
    b.row = item.row * u;
    b.col = item.col * u;
    b.caption = item.caption;
    b.owner = d;
    b.width = item.width * u;
    b.height = item.height * u;
    b.pixel = true;
    b.cancel = true;
    const std::string label_text = CaptionLabel(item.caption);
    b.is_default = label_text == "Quit";
    b.action = [d, &choice, label_text] {
      choice = label_text == "Retry"     ? ErrorChoice::kRetry
               : label_text == "Default" ? ErrorChoice::kDefault
                                         : ErrorChoice::kQuit;
      d->End();
    };
    TButton::New(b);
  }
  TButtonArgs see;
  see.row = l.see_log.row * u;
  see.col = l.see_log.col * u;
  see.caption = l.see_log.caption;
  see.owner = d;
  see.width = l.see_log.width * u;
  see.height = l.see_log.height * u;
  see.pixel = true;
  see.cancel = true;
  see.action = [] { OpenErrorLog(); };
  TButton::New(see);

  TDialogActivateArgs act;
  act.centred = true;
  dialog->Activate(act);
  return choice;
}

}  // namespace px
