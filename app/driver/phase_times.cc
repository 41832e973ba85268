#include "app/driver/phase_times.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/resource.h>

namespace px {

PhaseTimer::PhaseTimer(const char* name) : name_(name) {
  const char* flag = std::getenv("PX_PHASE_TIMES");
  on_ = flag != nullptr && *flag != '\0' && std::strcmp(flag, "0") != 0;
  if (on_) start_ = std::chrono::steady_clock::now();
}

PhaseTimer::~PhaseTimer() {
  if (!on_) return;
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start_;
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  std::fprintf(stderr, "phase %s %.3f %ld\n", name_, took.count(), usage.ru_maxrss);
}

}  // namespace px
