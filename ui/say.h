// TSay: a static text on a dialog.
//
// New takes, in this order: row, column, text action, owner, picture, font, centred,
// right-aligned, border, pixel flag, text colour, background colour, width, height,
// design flag, update flag, shaded, box, raised. The text action yields the text; it
// is evaluated when the control is created and again on every refresh of the control
// or of its owner. Row and column default to 0.
#ifndef PX_UI_SAY_H_
#define PX_UI_SAY_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/control.h"

namespace px {

using TextAction = std::function<std::string()>;

// A text action that always yields the same text.
TextAction ConstText(std::string text);

struct TSayArgs {
  double row = 0, col = 0;
  TextAction text{};
  TDialog* owner = nullptr;
  std::string picture{};
  std::shared_ptr<TFont> font{};
  bool centred = false;
  bool right = false;
  bool border = false;
  bool pixel = false;
  std::optional<Rgb> text_color{}, back_color{};
  std::optional<int> width{}, height{};
  bool design = false, update = false, shaded = false, box = false, raised = false;
};

class TSay : public TControl {
 public:
  static std::shared_ptr<TSay> New(const TSayArgs& args);

  // The text as last evaluated.
  const std::string& text() const { return text_; }
  bool centred() const { return args_.centred; }
  bool right() const { return args_.right; }
  bool border() const { return args_.border; }
  void Refresh() override;
  std::string ClassName() const override { return "TSAY"; }

 private:
  explicit TSay(const TSayArgs& args);
  std::string Evaluate() const;

  TSayArgs args_;
  std::string text_;
};

}  // namespace px

#endif  // PX_UI_SAY_H_
