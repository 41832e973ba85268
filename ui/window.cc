#include "ui/window.h"

#include "ui/style.h"
#include "ui/ui_state.h"
#include "ui/units.h"

namespace px {

namespace {

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return s;
}

uint32_t ComposeStyle(const TWindowArgs& a) {
  uint32_t s = style::kClipChildren;
  const std::string border = Upper(a.border);
  if (border == "NONE") s |= style::kPopup;
  if (border == "SINGLE") s |= style::kThickFrame;
  if (a.caption_bar) {
    s |= style::kCaption;
    if (a.sys_menu) s |= style::kSysMenu;
    if (a.minimize_box) s |= style::kMinimizeBox;
    if (a.maximize_box) s |= style::kMaximizeBox;
  }
  if (a.vscroll) s |= style::kVScroll;
  if (a.hscroll) s |= style::kHScroll;
  return s;
}

}  // namespace

std::shared_ptr<TWindow> TWindow::New(const TWindowArgs& args) {
  return std::shared_ptr<TWindow>(new TWindow(args));
}

TWindow::TWindow(const TWindowArgs& args) : args_(args) {
  style_ = args_.style != 0 ? args_.style : ComposeStyle(args_);
  const double top = args_.top.value_or(2), left = args_.left.value_or(2);
  const double bottom = args_.bottom.value_or(20), right = args_.right.value_or(70);
  top_ = RowToPixels(top, CellKind::kWindow, args_.pixel);
  left_ = ColToPixels(left, CellKind::kWindow, args_.pixel);
  width_ = ColToPixels(right, CellKind::kWindow, args_.pixel) - left_;
  height_ = RowToPixels(bottom, CellKind::kWindow, args_.pixel) - top_;
  // A window needs some area to exist on screen.
  if (width_ < 1) width_ = 1;
  if (height_ < 1) height_ = 1;
}

TWindow::~TWindow() {
  if (GetUiState().main_window == this) GetUiState().main_window = nullptr;
}

void TWindow::Activate(const TWindowActivateArgs& args) {
  if (running_ || closed_) return;
  activate_ = args;
  running_ = true;
  TWindow* previous = GetUiState().main_window;
  GetUiState().main_window = this;
  if (Upper(args.show) == "ICONIZED") iconized_ = true;
  GetUiBackend().RunWindow(*this);
  running_ = false;
  closed_ = true;
  GetUiState().main_window = previous == this ? nullptr : previous;
}

void TWindow::Shown() {
  if (initialised_) return;
  initialised_ = true;
  if (activate_.on_init) activate_.on_init(*this);
}

bool TWindow::CloseRequested() {
  if (activate_.valid && !activate_.valid(*this)) return false;
  return true;
}

bool TWindow::End() {
  if (closed_) return true;
  if (!CloseRequested()) return false;
  if (!running_) {
    closed_ = true;
    return true;
  }
  closed_ = true;
  GetUiBackend().CloseWindow(*this);
  return true;
}

void TWindow::Iconize() {
  iconized_ = true;
  if (running_) GetUiBackend().IconizeWindow(*this);
}

}  // namespace px
