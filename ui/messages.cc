#include "ui/messages.h"

#include <cstdio>

#include "runtime/date_text.h"
#include "ui/backend.h"

namespace px {

namespace {

void Show(MessageIcon icon, const char* default_caption, const Value& message,
          const Value& caption) {
  const std::string cap = caption.is_string() ? caption.str() : default_caption;
  GetUiBackend().MessageBox(icon, MessageText(message), cap);
}

}  // namespace

std::string MessageText(const Value& message) {
  switch (message.type()) {
    case Value::Type::kNil:
      return "nil";
    case Value::Type::kCharacter:
    case Value::Type::kMemo:
      return message.str();
    case Value::Type::kNumber:
      if (message.is_integer()) return std::to_string(message.integer());
      {
        // Large enough for "%f" of the largest double.
        char buf[400];
        std::snprintf(buf, sizeof(buf), "%f", message.number());
        return buf;
      }
    case Value::Type::kLogical:
      return message.logical() ? ".T." : ".F.";
    case Value::Type::kDate:
      return DateToText(message.date());
    case Value::Type::kArray:
      return "Array";
    case Value::Type::kObject:
      return "Object";
    default:
      return "ValtoChar not suported type yet";
  }
}

void MSGINFO(const Value& message, const Value& caption) {
  Show(MessageIcon::kInformation, "Information", message, caption);
}
void MSGALERT(const Value& message, const Value& caption) {
  Show(MessageIcon::kExclamation, "Alert", message, caption);
}
void MSGSTOP(const Value& message, const Value& caption) {
  Show(MessageIcon::kStop, "Stop", message, caption);
}

void CURSORWAIT() {
  GetUiBackend().SetCursor(CursorShape::kWait);
}
void CURSORARROW() {
  GetUiBackend().SetCursor(CursorShape::kArrow);
}

bool SYSREFRESH() {
  return GetUiBackend().PumpMessages();
}

}  // namespace px
