// Message boxes, the mouse cursor and the message pump.
//
// Each box takes the message and an optional caption, shows a modal box with one OK
// button owned by the active window, waits for the user and returns. A message that
// is not text is turned into text first (MessageText); a caption that is not text is
// ignored and the default caption used.
#ifndef PX_UI_MESSAGES_H_
#define PX_UI_MESSAGES_H_

#include <string>

#include "runtime/value.h"

namespace px {

// Information icon, default caption "Information".
void MSGINFO(const Value& message = Value(), const Value& caption = Value());
// Exclamation icon, default caption "Alert".
void MSGALERT(const Value& message = Value(), const Value& caption = Value());
// Stop icon, default caption "Stop".
void MSGSTOP(const Value& message = Value(), const Value& caption = Value());

inline void MSGINFO(const std::string& message) {
  MSGINFO(Value::String(message));
}
inline void MSGALERT(const std::string& message) {
  MSGALERT(Value::String(message));
}
inline void MSGSTOP(const std::string& message) {
  MSGSTOP(Value::String(message));
}

// The text a message box shows for a value: nil "nil", an integer its digits, a double
// as "%f", a date in the current date format, a logical ".T."/".F.", an array "Array",
// an object "Object", a code block "ValtoChar not suported type yet".
std::string MessageText(const Value& message);

// The mouse cursor: the hour-glass, or the normal arrow.
void CURSORWAIT();
void CURSORARROW();

// Takes and dispatches every waiting window message, stopping early at a request to
// quit the program. True when no quit request was taken; after one, while a main
// window exists, the request is posted again so that the main event loop sees it.
bool SYSREFRESH();

}  // namespace px

#endif  // PX_UI_MESSAGES_H_
