// Notes in the update log what the user is shown and what goes wrong while the
// installer runs, without changing either.
#ifndef PX_APP_DRIVER_UPDATE_LOG_RECORDER_H_
#define PX_APP_DRIVER_UPDATE_LOG_RECORDER_H_

#include <memory>
#include <string>

#include "runtime/error.h"
#include "ui/backend.h"

namespace px {

class UpdateLog;

// For its lifetime: every alert and stop box shown goes to the log as "Alert: TEXT"
// (then to the user interface that was installed before, unchanged); every error
// reported to the user goes to the log as "Error: MESSAGE" (then to the report that was
// installed before, unchanged); and when the program is ended at once (Quit in the
// error dialog) the log's section is ended with the phase the update had reached.
class UpdateLogRecorder : public UiBackend {
 public:
  explicit UpdateLogRecorder(UpdateLog& log);
  ~UpdateLogRecorder() override;
  UpdateLogRecorder(const UpdateLogRecorder&) = delete;
  UpdateLogRecorder& operator=(const UpdateLogRecorder&) = delete;

  void MessageBox(MessageIcon icon, const std::string& text, const std::string& caption) override;
  void RunWindow(TWindow& window) override { inner_.RunWindow(window); }
  void CloseWindow(TWindow& window) override { inner_.CloseWindow(window); }
  void IconizeWindow(TWindow& window) override { inner_.IconizeWindow(window); }
  void RunDialog(TDialog& dialog) override { inner_.RunDialog(dialog); }
  void EndDialog(TDialog& dialog) override { inner_.EndDialog(dialog); }
  void RefreshControl(TControl& control) override { inner_.RefreshControl(control); }
  void FocusControl(TControl& control) override { inner_.FocusControl(control); }
  void SetCursor(CursorShape shape) override { inner_.SetCursor(shape); }
  bool PumpMessages() override { return inner_.PumpMessages(); }
  void Repaint() override { inner_.Repaint(); }
  std::string ChooseFolder(const std::string& title, const std::string& start_folder) override {
    return inner_.ChooseFolder(title, start_folder);
  }
  void ShowText(const std::string& caption, const std::string& text) override {
    inner_.ShowText(caption, text);
  }
  int64_t ActiveWindowHandle() override { return inner_.ActiveWindowHandle(); }
  bool SaveImage(TDialog& dialog, const std::string& png_path) override {
    return inner_.SaveImage(dialog, png_path);
  }
  void Shutdown() override { inner_.Shutdown(); }

 private:
  UpdateLog& log_;
  UiBackend& inner_;
  ScopedUiBackend scope_;
  ErrorHandler previous_report_;
  // The quit hook reaches the log through this while the recorder lives.
  std::shared_ptr<UpdateLog*> alive_;
};

}  // namespace px

#endif  // PX_APP_DRIVER_UPDATE_LOG_RECORDER_H_
