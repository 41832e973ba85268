// The window-system backend that the user-interface objects sit on.
//
// The objects (TWindow, TDialog and their controls) hold the state and the rules:
// geometry, texts, bound values, pictures, valid actions, which button may run. A
// backend only shows them and reports what the user did, by calling the objects'
// event operations (TDialog::PressButton, TGet::Edit, TDialog::FieldLeft, ...).
//
// Two backends exist: a console one (ui/console_backend.h) and a wxWidgets one
// (ui/wx/). One of them is installed once at start-up (ui/user_interface.h); no other
// code knows which.
#ifndef PX_UI_BACKEND_H_
#define PX_UI_BACKEND_H_

#include <cstdint>
#include <memory>
#include <string>

namespace px {

class TWindow;
class TDialog;
class TControl;

enum class MessageIcon { kInformation, kExclamation, kStop };
enum class CursorShape { kArrow, kWait };

// What an object keeps of its native counterpart; each backend derives its own.
class Peer {
 public:
  virtual ~Peer() = default;
};

class UiBackend {
 public:
  virtual ~UiBackend() = default;

  // A modal box with one OK button, owned by the active window.
  virtual void MessageBox(MessageIcon icon, const std::string& text,
                          const std::string& caption) = 0;

  // Shows the main window, runs its init action once it has been shown
  // (TWindow::Shown) and runs the event loop until the window is closed.
  virtual void RunWindow(TWindow& window) = 0;
  // Closes the main window; the event loop of RunWindow ends.
  virtual void CloseWindow(TWindow& window) = 0;
  virtual void IconizeWindow(TWindow& window) = 0;

  // Creates and shows the dialog with its controls, then calls TDialog::Shown. A modal
  // dialog runs its own loop and returns once it has been ended; a non-modal one
  // returns at once.
  virtual void RunDialog(TDialog& dialog) = 0;
  // Closes the dialog and destroys its native controls.
  virtual void EndDialog(TDialog& dialog) = 0;
  // Shows the control's current text or value again.
  virtual void RefreshControl(TControl& control) = 0;
  virtual void FocusControl(TControl& control) = 0;

  virtual void SetCursor(CursorShape shape) = 0;
  // Dispatches every waiting message; false when a request to quit was taken.
  virtual bool PumpMessages() = 0;
  // Repaints the windows that need it without taking any input: for work that runs
  // while a box is up and does not pump messages itself (a program being waited for).
  virtual void Repaint() = 0;
  // The system's folder chooser, opening on a host folder; the chosen host folder or
  // "" on cancel.
  virtual std::string ChooseFolder(const std::string& title, const std::string& start_folder) = 0;
  // Shows a text (a log file) in a window of its own and waits until it is closed.
  virtual void ShowText(const std::string& caption, const std::string& text) = 0;
  // A number naming the active window to other programs, 0 when none.
  virtual int64_t ActiveWindowHandle() = 0;
  // Saves a picture of the dialog as it is on the screen to a PNG file; false when
  // the backend has no pictures (the console) or the file cannot be written.
  virtual bool SaveImage(TDialog& dialog, const std::string& png_path) = 0;
  // Releases windows and toolkit resources before the program ends.
  virtual void Shutdown() = 0;
};

// The installed backend. Until one is installed, a console backend on standard
// output without a script is used.
UiBackend& GetUiBackend();
// Installs a backend for the rest of the run and returns the previous one.
std::unique_ptr<UiBackend> InstallUiBackend(std::unique_ptr<UiBackend> backend);

// Installs a backend for the life of the object (tests).
class ScopedUiBackend {
 public:
  explicit ScopedUiBackend(UiBackend* backend);
  ~ScopedUiBackend();
  ScopedUiBackend(const ScopedUiBackend&) = delete;
  ScopedUiBackend& operator=(const ScopedUiBackend&) = delete;

 private:
  UiBackend* previous_;
};

}  // namespace px

#endif  // PX_UI_BACKEND_H_
