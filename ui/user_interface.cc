#include "ui/user_interface.h"

#include <cstdlib>
#include <cstring>

#include "ui/console_backend.h"

namespace px {

UiKind ChooseUiKind(const char* px_ui, const char* display, const char* wayland_display) {
  if (px_ui != nullptr && std::strcmp(px_ui, "console") == 0) return UiKind::kConsole;
  const bool has_display = (display != nullptr && *display != '\0') ||
                           (wayland_display != nullptr && *wayland_display != '\0');
  return has_display ? UiKind::kWindow : UiKind::kConsole;
}

UiKind ChooseUiKindWithDesktop(const char* px_ui) {
  if (px_ui != nullptr && std::strcmp(px_ui, "console") == 0) return UiKind::kConsole;
  return UiKind::kWindow;
}

UiKind InstallUserInterface(int* argc, char** argv, WindowBackendFactory window_factory) {
#ifdef _WIN32
  const UiKind wanted = ChooseUiKindWithDesktop(std::getenv("PX_UI"));
#else
  const UiKind wanted =
      ChooseUiKind(std::getenv("PX_UI"), std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"));
#endif
  if (wanted == UiKind::kWindow && window_factory != nullptr) {
    if (std::unique_ptr<UiBackend> window = window_factory(argc, argv)) {
      InstallUiBackend(std::move(window));
      return UiKind::kWindow;
    }
  }
  InstallUiBackend(std::make_unique<ConsoleBackend>());
  return UiKind::kConsole;
}

}  // namespace px
