#include "ui/control.h"

#include "ui/dialog.h"
#include "ui/units.h"

namespace px {

std::shared_ptr<TFont> TControl::font() const {
  if (font_ != nullptr) return font_;
  return owner_ != nullptr ? owner_->font() : nullptr;
}

void TControl::Refresh() {
  if (alive() && owner_->shown()) GetUiBackend().RefreshControl(*this);
}

void TControl::Place(TDialog* owner, double row, double col, bool pixel, int width, int height) {
  owner_ = owner;
  top_ = RowToPixels(row, CellKind::kDialog, pixel);
  left_ = ColToPixels(col, CellKind::kDialog, pixel);
  width_ = width < 0 ? 0 : width;
  height_ = height < 0 ? 0 : height;
}

}  // namespace px
