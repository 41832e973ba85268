// Wall time of the phases of one update, for measuring an update at scale.
//
// With the environment variable PX_PHASE_TIMES set (to anything but "0"), a PhaseTimer
// writes "phase NAME SECONDS PEAK_KB" to standard error when it goes, also when a BREAK
// leaves the phase early; PEAK_KB is the process's peak resident memory so far. Without
// it, it does nothing. Nothing is shown to the user either way.
#ifndef PX_APP_DRIVER_PHASE_TIMES_H_
#define PX_APP_DRIVER_PHASE_TIMES_H_

#include <chrono>

namespace px {

class PhaseTimer {
 public:
  explicit PhaseTimer(const char* name);
  ~PhaseTimer();
  PhaseTimer(const PhaseTimer&) = delete;
  PhaseTimer& operator=(const PhaseTimer&) = delete;

 private:
  const char* name_;
  bool on_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace px

#endif  // PX_APP_DRIVER_PHASE_TIMES_H_
