// The console backend: for machines without a display, unattended runs and tests.
//
// Every text shown is written as one line to the output: a message box as
// "[Caption] text", a dialog when it comes up as "[Caption] " and its texts joined by
// " | ", and the new text of a static text or read-only field whenever a refresh
// changes it (progress texts).
//
// A modal dialog that does not close by itself takes its answers, in this order, from
// the script queue (tests), from the unattended-run answer (PX_UPDATE_FROM: the first
// dialog with an edit field and an "OK" button gets that text in its first field and
// is confirmed with OK), then from the terminal; with none of these the dialog is
// closed as the window system's close box would (the error dialog then answers
// Quit). The folder chooser takes its answer the same way and cancels without one.
#ifndef PX_UI_CONSOLE_BACKEND_H_
#define PX_UI_CONSOLE_BACKEND_H_

#include <deque>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "ui/backend.h"

namespace px {

class TGet;

// One scripted answer to a modal dialog (or to the folder chooser).
struct DialogAnswer {
  // Texts typed into the editable fields, in creation order; nullopt leaves a field.
  // For the folder chooser, the first is the chosen folder.
  std::vector<std::optional<std::string>> fields;
  // The button pressed, by its label without "&" in any letter case; empty closes the
  // dialog through the window system.
  std::string button;
  // Runs first, with the dialog up (tests use it to act inside a dialog).
  std::function<void(TDialog&)> before;
};

class ConsoleBackend : public UiBackend {
 public:
  struct Options {
    std::ostream* out = nullptr;  // nullptr: standard output
    std::istream* in = nullptr;   // a terminal to ask; nullptr: none
    std::string update_from;      // the unattended-run answer; empty: none
  };

  // Standard output; the terminal when standard input is one; PX_UPDATE_FROM.
  ConsoleBackend();
  explicit ConsoleBackend(Options options);

  void Script(DialogAnswer answer) { script_.push_back(std::move(answer)); }
  size_t pending_answers() const { return script_.size(); }

  void MessageBox(MessageIcon icon, const std::string& text, const std::string& caption) override;
  void RunWindow(TWindow& window) override;
  void CloseWindow(TWindow& window) override;
  void IconizeWindow(TWindow& window) override;
  void RunDialog(TDialog& dialog) override;
  void EndDialog(TDialog& dialog) override;
  void RefreshControl(TControl& control) override;
  void FocusControl(TControl& control) override;
  void SetCursor(CursorShape shape) override;
  bool PumpMessages() override;
  void Repaint() override;
  void ShowText(const std::string& caption, const std::string& text) override;
  std::string ChooseFolder(const std::string& title, const std::string& start_folder) override;
  int64_t ActiveWindowHandle() override;
  bool SaveImage(TDialog& dialog, const std::string& png_path) override;
  void Shutdown() override;

 private:
  void Line(const std::string& caption, const std::string& text);
  bool TakeAnswer(TDialog& dialog, DialogAnswer* answer);
  void Apply(TDialog& dialog, const DialogAnswer& answer);
  void AskTerminal(TDialog& dialog);
  std::string FieldLabel(const TDialog& dialog, const TGet& get) const;

  std::ostream* out_;
  std::istream* in_;
  std::string update_from_;
  std::deque<DialogAnswer> script_;
};

}  // namespace px

#endif  // PX_UI_CONSOLE_BACKEND_H_
