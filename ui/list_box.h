// TListBox: a list of text lines with one selected, on a dialog (the error dialog's
// stack list).
#ifndef PX_UI_LIST_BOX_H_
#define PX_UI_LIST_BOX_H_

#include <memory>
#include <string>
#include <vector>

#include "ui/control.h"

namespace px {

struct TListBoxArgs {
  double row = 0, col = 0;
  std::vector<std::string> items{};
  int selected = 1;  // 1-based; 0 for none
  TDialog* owner = nullptr;
  int width = 100, height = 60;
  std::shared_ptr<TFont> font{};
  bool pixel = false;
};

class TListBox : public TControl {
 public:
  static std::shared_ptr<TListBox> New(const TListBoxArgs& args);
  const std::vector<std::string>& items() const { return args_.items; }
  int selected() const { return args_.selected; }
  // Backend side: the user selected an item (1-based).
  void Select(int index);
  std::string ClassName() const override { return "TLISTBOX"; }

 private:
  explicit TListBox(const TListBoxArgs& args);
  TListBoxArgs args_;
};

}  // namespace px

#endif  // PX_UI_LIST_BOX_H_
