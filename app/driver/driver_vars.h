// The process-wide variables of the update driver, read through typed accessors.
//
// MAIN creates OWND (the main window), OFONTW (the dialogs' font), LDEBUG (the debug
// trace flag) and _NETWORK (the network data folder, read by OPNALIAS) as memory
// variables, so that they live for the whole run and the shared helpers find them by
// name. The accessors below read them; a variable that is missing or holds another
// type reads as nothing.
#ifndef PX_APP_DRIVER_DRIVER_VARS_H_
#define PX_APP_DRIVER_DRIVER_VARS_H_

#include <memory>
#include <string>
#include <string_view>

namespace px {

class TFont;
class TWindow;

// The main window (OWND), or nullptr.
std::shared_ptr<TWindow> MainWindowVar();
// The font of the driver's dialogs (OFONTW), or nullptr.
std::shared_ptr<TFont> DriverFontVar();
// Stores a text into an existing or new variable.
void SetTextVar(std::string_view name, std::string value);

// Text helpers of the driver.
std::string AllTrim(std::string_view s);
// The text padded with blanks to `width` characters; longer texts stay whole.
std::string PadRight(std::string_view s, size_t width);

}  // namespace px

#endif  // PX_APP_DRIVER_DRIVER_VARS_H_
