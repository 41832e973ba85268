#include "ui/say.h"

#include "ui/dialog.h"

namespace px {

TextAction ConstText(std::string text) {
  return [text = std::move(text)] { return text; };
}

std::shared_ptr<TSay> TSay::New(const TSayArgs& args) {
  std::shared_ptr<TSay> say(new TSay(args));
  if (args.owner != nullptr) args.owner->Add(say);
  return say;
}

TSay::TSay(const TSayArgs& args) : TControl(Kind::kSay), args_(args) {
  font_ = args_.font;
  text_color_ = args_.text_color;
  back_color_ = args_.back_color;
  text_ = Evaluate();
  // Without a size the text gets about one dialog column per character.
  const int width = args_.width.value_or(static_cast<int>(text_.size() * 8 + 4));
  const int height = args_.height.value_or(12);
  Place(args_.owner, args_.row, args_.col, args_.pixel, width, height);
}

std::string TSay::Evaluate() const {
  return args_.text ? args_.text() : std::string();
}

void TSay::Refresh() {
  text_ = Evaluate();
  TControl::Refresh();
}

}  // namespace px
