#include "ui/button.h"

#include "ui/dialog.h"

namespace px {

std::string CaptionLabel(const std::string& caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += caption[i];
  }
  return out;
}

char CaptionAccelerator(const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    char c = caption[i + 1];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return c;
  }
  return '\0';
}

std::shared_ptr<TButton> TButton::New(const TButtonArgs& args) {
  std::shared_ptr<TButton> button(new TButton(args));
  if (args.owner != nullptr) args.owner->Add(button);
  return button;
}

TButton::TButton(const TButtonArgs& args) : TControl(Kind::kButton), args_(args) {
  font_ = args_.font;
  Place(args_.owner, args_.row, args_.col, args_.pixel, args_.width.value_or(40),
        args_.height.value_or(12));
}

void TButton::Run() {
  if (args_.valid && !args_.valid()) return;
  // The action may end the dialog and so release the last reference to this button.
  std::function<void()> action = args_.action;
  if (action) action();
}

}  // namespace px
