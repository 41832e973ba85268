// Recovery points and BREAK: the driver's own non-local exit.
//
// The driver's expected failures (a folder that cannot be entered, a table that cannot
// be opened) are shown in a message box and then abandon the current stretch of work
// with BREAK(), which leaves every routine up to the innermost recovery point. A
// recovery point is RecoveryPoint(body): it runs the body and returns false when a
// BREAK ended it early, true otherwise.
//
// Only BREAK() travels this way. Errors of the engine, the evaluator and the file
// operations never do: they go to the process error handler (runtime/error.h), which
// answers them, and the raising operation goes on with its default.
//
// BREAK must not be raised from inside a window-system callback (a button's action):
// the exit would have to cross the toolkit's event loop. Callbacks set a flag instead
// and the routine that ran the dialog raises the BREAK once the dialog has returned.
#ifndef PX_APP_DRIVER_RECOVERY_H_
#define PX_APP_DRIVER_RECOVERY_H_

#include <utility>

namespace px {

// What BREAK() throws. Caught only by RecoveryPoint.
struct BreakSignal {};

// Abandons the current stretch of work up to the innermost recovery point.
[[noreturn]] void BREAK();

// Runs body inside a recovery point: false when a BREAK ended it.
template <typename Body>
bool RecoveryPoint(Body&& body) {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (const BreakSignal&) {
    return false;
  }
}

}  // namespace px

#endif  // PX_APP_DRIVER_RECOVERY_H_
