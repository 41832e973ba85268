// Provisional console implementation of the message boxes: every box is one line on
// standard output. The user-interface backends replace it.
#include "ui/messages.h"

#include <cstdio>

#include "runtime/date.h"

namespace px {

namespace {

void Show(const char* default_caption, const Value& message, const Value& caption) {
  const std::string cap = caption.is_string() ? caption.str() : default_caption;
  std::printf("[%s] %s\n", cap.c_str(), MessageText(message).c_str());
  std::fflush(stdout);
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
        char buf[512];
        std::snprintf(buf, sizeof(buf), "%f", message.number());
        return buf;
      }
    case Value::Type::kLogical:
      return message.logical() ? ".T." : ".F.";
    case Value::Type::kDate:
      return DateToDtos(message.date());
    case Value::Type::kArray:
      return "Array";
    case Value::Type::kObject:
      return "Object";
    default:
      return "ValtoChar not suported type yet";
  }
}

void MSGINFO(const Value& message, const Value& caption) {
  Show("Information", message, caption);
}
void MSGALERT(const Value& message, const Value& caption) {
  Show("Alert", message, caption);
}
void MSGSTOP(const Value& message, const Value& caption) {
  Show("Stop", message, caption);
}

void CURSORWAIT() {}
void CURSORARROW() {}
bool SYSREFRESH() {
  return true;
}

}  // namespace px
