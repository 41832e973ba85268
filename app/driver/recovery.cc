#include "app/driver/recovery.h"

namespace px {

void BREAK() {
  throw BreakSignal{};
}

}  // namespace px
