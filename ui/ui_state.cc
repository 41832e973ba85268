#include "ui/ui_state.h"

#include "ui/console_backend.h"

namespace px {

UiState& GetUiState() {
  static UiState* state = new UiState();
  return *state;
}

bool MainWindowRunning() {
  return GetUiState().main_window != nullptr;
}

TDialog* TopDialog() {
  const UiState& s = GetUiState();
  return s.open_dialogs.empty() ? nullptr : s.open_dialogs.back();
}

UiBackend& GetUiBackend() {
  UiState& s = GetUiState();
  if (s.scoped != nullptr) return *s.scoped;
  if (s.installed == nullptr) s.installed = std::make_unique<ConsoleBackend>();
  return *s.installed;
}

std::unique_ptr<UiBackend> InstallUiBackend(std::unique_ptr<UiBackend> backend) {
  std::unique_ptr<UiBackend> previous = std::move(GetUiState().installed);
  GetUiState().installed = std::move(backend);
  return previous;
}

ScopedUiBackend::ScopedUiBackend(UiBackend* backend) : previous_(GetUiState().scoped) {
  GetUiState().scoped = backend;
}

ScopedUiBackend::~ScopedUiBackend() {
  GetUiState().scoped = previous_;
}

}  // namespace px
