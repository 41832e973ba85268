// The process-wide state of the user interface, kept in one place: the backend chosen
// at start-up, the main window and the dialogs that are open. One thread uses it.
#ifndef PX_UI_UI_STATE_H_
#define PX_UI_UI_STATE_H_

#include <memory>
#include <vector>

#include "ui/backend.h"

namespace px {

class TWindow;
class TDialog;

struct UiState {
  std::unique_ptr<UiBackend> installed;  // the backend chosen at start-up
  UiBackend* scoped = nullptr;           // a backend lent for a while (tests)
  TWindow* main_window = nullptr;        // set while the main window is running
  std::vector<TDialog*> open_dialogs;    // shown and not yet ended, oldest first
};

UiState& GetUiState();

// The main window's event loop is running (it has been activated and not closed).
bool MainWindowRunning();
// The dialog on top, or nullptr.
TDialog* TopDialog();

}  // namespace px

#endif  // PX_UI_UI_STATE_H_
