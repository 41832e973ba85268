// The open-file limit on POSIX: the process's RLIMIT_NOFILE.
#include <sys/resource.h>

#include "runtime/settings.h"

namespace px {

int SETHANDLECOUNT(int n) {
  struct rlimit lim;
  if (getrlimit(RLIMIT_NOFILE, &lim) != 0) return -1;
  if (lim.rlim_cur < static_cast<rlim_t>(n)) {
    rlim_t want = static_cast<rlim_t>(n);
    if (lim.rlim_max != RLIM_INFINITY && want > lim.rlim_max) want = lim.rlim_max;
    lim.rlim_cur = want;
    setrlimit(RLIMIT_NOFILE, &lim);
    getrlimit(RLIMIT_NOFILE, &lim);
  }
  GetSettings().handle_count = n;
  return static_cast<int>(lim.rlim_cur);
}

}  // namespace px
