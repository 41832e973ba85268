#include "app/driver/update_log_recorder.h"

#include "app/driver/update_log.h"
#include "runtime/process_state.h"

namespace px {

UpdateLogRecorder::UpdateLogRecorder(UpdateLog& log)
    : log_(log), inner_(GetUiBackend()), scope_(this), alive_(std::make_shared<UpdateLog*>(&log)) {
  ErrorHandler previous = SetReportHook([this](Error& e) {
    log_.Error(ERRORMESSAGE(e));
    if (previous_report_) return previous_report_(e);
    // No report installed: the standard handler's own recording stands.
    GetProcessState().recorded_errors.push_back(e);
    return ErrorAnswer::Default();
  });
  previous_report_ = std::move(previous);
  // The hook outlives the recorder (hooks are not removed): it finds the log gone then.
  AddQuitHook([weak = std::weak_ptr<UpdateLog*>(alive_)] {
    if (std::shared_ptr<UpdateLog*> log = weak.lock(); log != nullptr && *log != nullptr) {
      (*log)->End();
    }
  });
}

UpdateLogRecorder::~UpdateLogRecorder() {
  SetReportHook(std::move(previous_report_));
}

void UpdateLogRecorder::MessageBox(MessageIcon icon, const std::string& text,
                                   const std::string& caption) {
  if (icon != MessageIcon::kInformation) log_.Alert(text);
  inner_.MessageBox(icon, text, caption);
}

}  // namespace px
