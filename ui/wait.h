// Timed waits and the run-with-message window.
#ifndef PX_UI_WAIT_H_
#define PX_UI_WAIT_H_

#include <functional>
#include <string>

#include "runtime/value.h"

namespace px {

class TDialog;

// Waits until n x 1000 milliseconds of the clock have passed since the call, without
// pumping window messages. The pause goes through the Env's clock.
void WAITSECONDS(double n = 1);

// Shows a small centred modal dialog with the text; once it is up, runs the action
// with the dialog, then closes the dialog and pumps pending messages once. Returns
// after the dialog has closed. Without a caption the dialog has no title bar and is 3
// rows by (text length + 4) columns in dialog cells; with one it is framed, captioned,
// and 4 rows by (the longer of text and caption + 4) columns. The text is drawn
// centred across the dialog on row 1. Defaults: text "Please, wait...", action
// WAITSECONDS(1).
void MSGRUN(const Value& text = Value(), const Value& caption = Value(),
            std::function<void(TDialog&)> action = nullptr);

// MSGRUN with an action that waits the given seconds (default 4).
void MSGWAIT(const Value& text = Value(), const Value& caption = Value(),
             const Value& seconds = Value());

}  // namespace px

#endif  // PX_UI_WAIT_H_
