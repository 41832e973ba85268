// The progress text of the update and the field that shows it.
//
// To show a text is to store it in the progress text, redisplay the field bound to it,
// let the window system process pending messages (SYSREFRESH) and set the wait cursor
// again. The field is the update dialog's at first and the index rebuild window's
// later; while there is none, showing a text only stores it, pumps and sets the cursor.
#ifndef PX_APP_DRIVER_PROGRESS_H_
#define PX_APP_DRIVER_PROGRESS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/data/show_progress.h"

namespace px {

class TControl;

struct Progress {
  std::string text = "Please Wait...";
  std::shared_ptr<TControl> field;  // kept alive even after its dialog has ended

  void Show(std::string_view t) { ShowProgress(&text, field.get(), t); }
  // Redisplays the field without pumping or touching the cursor.
  void Redisplay();
};

// Limits how often a per-record progress text is shown: a long walk over a table would
// otherwise spend its time repainting (and a console would print a line per record).
// Due() is true for the first call and then at most once per interval of the Env's
// clock.
class ProgressPacer {
 public:
  explicit ProgressPacer(int64_t interval_micros = 100000) : interval_(interval_micros) {}
  bool Due();

 private:
  int64_t interval_;
  int64_t last_ = 0;
  bool started_ = false;
};

}  // namespace px

#endif  // PX_APP_DRIVER_PROGRESS_H_
