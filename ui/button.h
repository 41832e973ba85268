// TButton: a push button on a dialog.
//
// New takes, in this order: row, column, caption, owner, action, width, height, help
// id, font, default flag, pixel flag, design flag, status message, update flag, when
// action, valid action, cancel flag. An "&" in the caption marks the next letter as
// the keyboard accelerator and is not shown ("&&" shows one "&").
//
// Pressing the button first leaves the field that has the focus: when that field's
// valid action refuses, the focus stays there and the action does not run. A button
// with the cancel flag runs without asking the field.
#ifndef PX_UI_BUTTON_H_
#define PX_UI_BUTTON_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/control.h"

namespace px {

struct TButtonArgs {
  double row = 0, col = 0;
  std::string caption{};
  TDialog* owner = nullptr;
  std::function<void()> action{};
  std::optional<int> width{}, height{};
  int help_id = 0;
  std::shared_ptr<TFont> font{};
  bool is_default = false;
  bool pixel = false;
  bool design = false;
  std::string message{};
  bool update = false;
  std::function<bool()> when{};
  std::function<bool()> valid{};
  bool cancel = false;
};

// The caption as shown (without the accelerator marks) and its accelerator letter
// in upper case ('\0' when none).
std::string CaptionLabel(const std::string& caption);
char CaptionAccelerator(const std::string& caption);

class TButton : public TControl {
 public:
  static std::shared_ptr<TButton> New(const TButtonArgs& args);

  const std::string& caption() const { return args_.caption; }
  std::string label() const { return CaptionLabel(args_.caption); }
  char accelerator() const { return CaptionAccelerator(args_.caption); }
  bool is_default() const { return args_.is_default; }
  bool cancel() const { return args_.cancel; }
  bool enabled() const { return !args_.when || args_.when(); }
  // Runs the action (TDialog::PressButton decides whether it may).
  void Run();
  std::string ClassName() const override { return "TBUTTON"; }

 private:
  explicit TButton(const TButtonArgs& args);
  TButtonArgs args_;
};

}  // namespace px

#endif  // PX_UI_BUTTON_H_
