// The open-file limit on Windows. Files are opened as Win32 handles, which only the
// per-process handle limit of the system bounds; there is nothing to raise.
#include "runtime/settings.h"

namespace px {

int SETHANDLECOUNT(int n) {
  constexpr int kProcessHandleLimit = 1 << 24;
  GetSettings().handle_count = n;
  return kProcessHandleLimit;
}

}  // namespace px
