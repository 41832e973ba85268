#include "app/data/show_progress.h"

#include "ui/control.h"
#include "ui/messages.h"

namespace px {

void ShowProgress(std::string* message, TControl* control, std::string_view text) {
  if (message != nullptr) *message = std::string(text);
  if (control != nullptr && control->alive()) control->Refresh();
  SYSREFRESH();
  CURSORWAIT();
}

}  // namespace px
