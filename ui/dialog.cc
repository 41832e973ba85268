#include "ui/dialog.h"

#include <algorithm>

#include "ui/button.h"
#include "ui/control.h"
#include "ui/get.h"
#include "ui/style.h"
#include "ui/ui_state.h"
#include "ui/units.h"

namespace px {

namespace {

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::shared_ptr<TDialog> TDialog::New(const TDialogArgs& args) {
  return std::shared_ptr<TDialog>(new TDialog(args));
}

TDialog::TDialog(const TDialogArgs& args) : args_(args) {
  if (args_.style != 0) {
    style_ = args_.style;
  } else if (args_.resource.empty()) {
    style_ = style::kPopup | style::kModalFrame | style::kCaption | style::kSysMenu;
  }
  const double top = args_.top.value_or(0), left = args_.left.value_or(0);
  top_ = RowToPixels(top, CellKind::kDialog, args_.pixel);
  left_ = ColToPixels(left, CellKind::kDialog, args_.pixel);
  // Without a bottom and right edge the dialog is 10 by 40 cells.
  const int bottom = args_.bottom ? RowToPixels(*args_.bottom, CellKind::kDialog, args_.pixel)
                                  : RowToPixels(10, CellKind::kDialog, false);
  const int right = args_.right ? ColToPixels(*args_.right, CellKind::kDialog, args_.pixel)
                                : ColToPixels(40, CellKind::kDialog, false);
  height_ = args_.height.value_or(args_.bottom ? bottom - top_ : bottom);
  width_ = args_.width.value_or(args_.right ? right - left_ : right);
  if (height_ < 1) height_ = 1;
  if (width_ < 1) width_ = 1;
}

TDialog::~TDialog() {
  UiState& ui = GetUiState();
  ui.open_dialogs.erase(std::remove(ui.open_dialogs.begin(), ui.open_dialogs.end(), this),
                        ui.open_dialogs.end());
  DetachControls();
}

bool TDialog::has_title_bar() const {
  return (style_ & style::kCaption) == style::kCaption;
}

Rgb TDialog::text_color() const {
  return args_.text_color.value_or(SystemColor(kColorButtonText));
}

Rgb TDialog::back_color() const {
  return args_.back_color.value_or(SystemColor(kColorButtonFace));
}

void TDialog::Add(std::shared_ptr<TControl> control) {
  if (ended_) {
    control->owner_ = nullptr;
    return;
  }
  controls_.push_back(std::move(control));
}

void TDialog::DetachControls() {
  for (const std::shared_ptr<TControl>& c : controls_) {
    c->owner_ = nullptr;
    c->peer_.reset();
  }
  controls_.clear();
  focus_ = nullptr;
}

TButton* TDialog::FindButton(std::string_view label) const {
  for (const std::shared_ptr<TControl>& c : controls_) {
    if (c->kind() != TControl::Kind::kButton) continue;
    auto* b = static_cast<TButton*>(c.get());
    if (SameNoCase(b->label(), label)) return b;
  }
  return nullptr;
}

void TDialog::Activate(const TDialogActivateArgs& args) {
  if (shown_ || ended_) return;
  activate_ = args;
  // Keep the dialog alive while it runs, even if its creator lets go of it.
  std::shared_ptr<TDialog> self = shared_from_this();
  shown_ = true;
  GetUiState().open_dialogs.push_back(this);
  GetUiBackend().RunDialog(*this);
  if (activate_.modal && !ended_) {
    // The backend's loop ended without End (the toolkit closed the window).
    ended_ = true;
    UiState& ui = GetUiState();
    ui.open_dialogs.erase(std::remove(ui.open_dialogs.begin(), ui.open_dialogs.end(), this),
                          ui.open_dialogs.end());
    DetachControls();
  }
}

void TDialog::Shown() {
  if (initialised_) return;
  initialised_ = true;
  if (activate_.on_init) activate_.on_init(*this);
}

bool TDialog::End() {
  if (ended_) return true;
  if (shown_ && activate_.valid && !activate_.valid(*this)) return false;
  ended_ = true;
  UiState& ui = GetUiState();
  ui.open_dialogs.erase(std::remove(ui.open_dialogs.begin(), ui.open_dialogs.end(), this),
                        ui.open_dialogs.end());
  if (shown_) GetUiBackend().EndDialog(*this);
  DetachControls();
  return true;
}

void TDialog::Refresh() {
  // Refreshing may run text actions that end the dialog; work on a copy.
  const std::vector<std::shared_ptr<TControl>> controls = controls_;
  for (const std::shared_ptr<TControl>& c : controls) c->Refresh();
}

void TDialog::FieldEntered(TGet& get) {
  focus_ = &get;
}

bool TDialog::FieldLeft(TGet& get) {
  if (get.read_only()) return true;
  get.Assign();
  if (get.Valid()) return true;
  focus_ = &get;
  return false;
}

bool TDialog::PressButton(TButton& button) {
  if (ended_ || !button.enabled()) return false;
  std::shared_ptr<TDialog> self = shared_from_this();
  if (!button.cancel() && focus_ != nullptr && focus_->alive()) {
    if (!FieldLeft(*focus_)) {
      GetUiBackend().FocusControl(*focus_);
      return false;
    }
  }
  // The action may end the dialog, which releases its controls: hold the button.
  std::shared_ptr<TControl> keep;
  for (const std::shared_ptr<TControl>& c : controls_) {
    if (c.get() == &button) keep = c;
  }
  button.Run();
  return true;
}

bool TDialog::CloseRequested() {
  return End();
}

void TDialog::Abandon() {
  activate_.valid = nullptr;
  End();
}

}  // namespace px
