// Watching the errors a step raises without taking them from the error handler.
//
// While an ErrorWatch lives, every error raised goes to the handler that was installed
// before it, exactly as without the watch (dialog, log, NETERR); the watch only notes
// it. The driver uses this to learn that a step failed (a table that could not be
// opened, a copy that could not be written) and to keep installed data as it was.
#ifndef PX_APP_DRIVER_ERROR_WATCH_H_
#define PX_APP_DRIVER_ERROR_WATCH_H_

#include <initializer_list>
#include <set>

#include "runtime/error.h"

namespace px {

class ErrorWatch {
 public:
  // Errors of the listed general codes are noted as seen but do not count as failures.
  explicit ErrorWatch(std::initializer_list<int> tolerated = {});
  ErrorWatch(const ErrorWatch&) = delete;
  ErrorWatch& operator=(const ErrorWatch&) = delete;

  // An error that is not tolerated was raised.
  bool failed() const { return failures_ > 0; }
  // The first such error.
  const Error& first_failure() const { return first_; }

 private:
  std::set<int> tolerated_;
  int failures_ = 0;
  Error first_;
  ScopedErrorObserver observer_;  // last: it sees errors only once the rest is set up
};

}  // namespace px

#endif  // PX_APP_DRIVER_ERROR_WATCH_H_
