#include "app/driver/phase_times.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/system_info.h"

namespace px {

PhaseTimer::PhaseTimer(const char* name) : name_(name) {
  const char* flag = std::getenv("PX_PHASE_TIMES");
  on_ = flag != nullptr && *flag != '\0' && std::strcmp(flag, "0") != 0;
  if (on_) start_ = std::chrono::steady_clock::now();
}

PhaseTimer::~PhaseTimer() {
  if (!on_) return;
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start_;
  std::fprintf(stderr, "phase %s %.3f %lld\n", name_, took.count(),
               static_cast<long long>(PeakMemoryKilobytes()));
}

}  // namespace px
