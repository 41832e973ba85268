#include "ui/list_box.h"

#include "ui/dialog.h"

namespace px {

std::shared_ptr<TListBox> TListBox::New(const TListBoxArgs& args) {
  std::shared_ptr<TListBox> list(new TListBox(args));
  if (args.owner != nullptr) args.owner->Add(list);
  return list;
}

TListBox::TListBox(const TListBoxArgs& args) : TControl(Kind::kListBox), args_(args) {
  font_ = args_.font;
  if (args_.selected < 0 || args_.selected > static_cast<int>(args_.items.size())) {
    args_.selected = args_.items.empty() ? 0 : 1;
  }
  Place(args_.owner, args_.row, args_.col, args_.pixel, args_.width, args_.height);
}

void TListBox::Select(int index) {
  if (index >= 0 && index <= static_cast<int>(args_.items.size())) args_.selected = index;
}

}  // namespace px
