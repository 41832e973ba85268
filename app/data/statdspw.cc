// STATDSPW: a short status message, as a wait window or as an information box.
#include "app/data/catalogue.h"
#include "ui/messages.h"
#include "ui/wait.h"

namespace px {

void STATDSPW(std::string_view message, double seconds) {
  const Value text = Value::String(std::string(message));
  if (seconds > 0) {
    // The window always stays 2 seconds, whatever positive time was asked for.
    MSGWAIT(text, Value::String("Information"), Value::Integer(2));
  } else {
    MSGINFO(text);
  }
}

}  // namespace px
