// Message boxes and the mouse cursor.
//
// Each box takes the message and an optional caption, shows a modal box with one OK
// button, waits for the user and returns. A message that is not text is turned into
// text first (MessageText); a caption that is not text is ignored.
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
// as "%f", a date in the date format, a logical ".T."/".F.", "Array", "Object".
std::string MessageText(const Value& message);

void CURSORWAIT();
void CURSORARROW();
// Dispatches every pending window message; false when a quit request was taken.
bool SYSREFRESH();

}  // namespace px

#endif  // PX_UI_MESSAGES_H_
