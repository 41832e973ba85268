// Showing a progress text in a field of a dialog.
#ifndef PX_APP_DATA_SHOW_PROGRESS_H_
#define PX_APP_DATA_SHOW_PROGRESS_H_

#include <string>
#include <string_view>

namespace px {

class TControl;

// Stores the text in *message (when given), refreshes the control (when given and
// still on its dialog), pumps window messages (SYSREFRESH) and sets the wait cursor.
void ShowProgress(std::string* message, TControl* control, std::string_view text);

}  // namespace px

#endif  // PX_APP_DATA_SHOW_PROGRESS_H_
