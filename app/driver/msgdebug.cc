#include "app/driver/msgdebug.h"

#include "app/data/catalogue_fields.h"
#include "app/driver/recovery.h"
#include "runtime/call_stack.h"
#include "ui/messages.h"

namespace px {

void MSGDEBUG(const std::string& text) {
  CallStep step("MSGDEBUG");
  RecoveryPoint([&] {
    if (!MemVarFlag("LDEBUG")) return;
    MSGINFO(text);
    CURSORWAIT();
  });
}

}  // namespace px
