// The error dialog: the error's message text, the stack list, and the buttons Quit,
// Retry (when the error can be retried) and Default (when it can be defaulted), with
// "See Error.log file" opening the log in a text viewer.
//
// The layout is given in dialog units of two pixels (kErrorDialogUnit) inside a
// dialog of 300 x 200 pixels (250 high on the NT family of the original host, whose
// frames are taller): message text (3, 22)-(25, 148); label "&Stack List" at (24, 6);
// list at (33, 3), 145 x 60 (78); buttons 30 x 11 on row 88 (112): "&Quit" at column
// 60 when alone or with both others, else 37; "&Retry" at 82 when it is the only
// other button, else 13; "&Default" at 108; "See Error.log file" at (21, 100), 47 x 10.
#ifndef PX_UI_ERROR_DIALOG_H_
#define PX_UI_ERROR_DIALOG_H_

#include <string>
#include <vector>

#include "runtime/error.h"

namespace px {

constexpr int kErrorDialogUnit = 2;
// The product banner in the dialog's caption.
extern const char kErrorDialogCaption[];
// The program line that opens the log of the current folder.
extern const char kErrorLogViewer[];

struct ErrorDialogLayout {
  struct Item {
    std::string caption;
    int row = 0, col = 0, width = 0, height = 0;
  };
  int width = 300, height = 200;  // pixels
  Item message{"", 3, 22, 126, 22};
  Item label{"&Stack List", 24, 6, 40, 8};
  Item list{"", 33, 3, 145, 60};
  Item see_log{"See Error.log file", 21, 100, 47, 10};
  std::vector<Item> buttons;  // left to right
};

ErrorDialogLayout ErrorDialogLayoutFor(bool can_retry, bool can_default, bool nt_family = false);

enum class ErrorChoice { kQuit, kRetry, kDefault };

// Shows the dialog modally and returns the user's choice; closing it any other way
// is Quit.
ErrorChoice RunErrorDialog(const Error& e, const std::vector<std::string>& stack_lines);

// The program line that opens the log where the report wrote it: kErrorLogViewer while
// no error log folder is set (the log is in the current folder), else the viewer given
// the log's path.
std::string ErrorLogViewerLine();

// Opens the log file in a text viewer (ErrorLogViewerLine); without that viewer, shows
// the log in a window of its own (or says that there is no log to show).
void OpenErrorLog();

}  // namespace px

#endif  // PX_UI_ERROR_DIALOG_H_
