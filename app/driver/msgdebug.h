// MSGDEBUG: the debug trace of the update driver.
#ifndef PX_APP_DRIVER_MSGDEBUG_H_
#define PX_APP_DRIVER_MSGDEBUG_H_

#include <string>

namespace px {

// When the debug flag LDEBUG is on, shows the text in an information box and restores
// the wait cursor; otherwise does nothing. Runs inside its own recovery point, so
// nothing in it ends the caller's work.
void MSGDEBUG(const std::string& text);

}  // namespace px

#endif  // PX_APP_DRIVER_MSGDEBUG_H_
