// The wxWidgets backend: real windows and native controls on GTK.
#ifndef PX_UI_WX_WX_BACKEND_H_
#define PX_UI_WX_WX_BACKEND_H_

#include <memory>

#include "ui/backend.h"

namespace px {

// Opens the display and makes the backend; nullptr when the display cannot be opened.
std::unique_ptr<UiBackend> MakeWxBackend(int* argc, char** argv);

}  // namespace px

#endif  // PX_UI_WX_WX_BACKEND_H_
