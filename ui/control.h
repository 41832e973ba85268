// TControl: what the controls of a dialog (TSay, TGet, TButton, TListBox) share.
//
// A control is created on its owner dialog by its class's New and belongs to the
// dialog: ending the dialog destroys the control's native counterpart and detaches it
// (owner() becomes nullptr); a detached control ignores Refresh, so a caller that
// still holds it cannot reach a dead window.
#ifndef PX_UI_CONTROL_H_
#define PX_UI_CONTROL_H_

#include <memory>
#include <optional>
#include <string>

#include "runtime/value.h"
#include "ui/backend.h"
#include "ui/colors.h"
#include "ui/font.h"

namespace px {

class TDialog;

class TControl : public Object {
 public:
  enum class Kind { kSay, kGet, kButton, kListBox };

  Kind kind() const { return kind_; }
  // Pixel geometry relative to the owner's client area.
  int top() const { return top_; }
  int left() const { return left_; }
  int width() const { return width_; }
  int height() const { return height_; }
  TDialog* owner() const { return owner_; }
  bool alive() const { return owner_ != nullptr; }
  // The control's own font, else its owner's, else none (the toolkit's default).
  std::shared_ptr<TFont> font() const;
  std::optional<Rgb> text_color() const { return text_color_; }
  std::optional<Rgb> back_color() const { return back_color_; }

  // Re-reads the control's text or bound value and shows it again.
  virtual void Refresh();

  std::unique_ptr<Peer>& peer() { return peer_; }

 protected:
  explicit TControl(Kind kind) : kind_(kind) {}
  // Places the control on its owner; rows and columns in the owner's cells unless
  // pixel is set; width and height in pixels.
  void Place(TDialog* owner, double row, double col, bool pixel, int width, int height);

  std::shared_ptr<TFont> font_;
  std::optional<Rgb> text_color_, back_color_;

 private:
  friend class TDialog;
  Kind kind_;
  TDialog* owner_ = nullptr;
  int top_ = 0, left_ = 0, width_ = 0, height_ = 0;
  std::unique_ptr<Peer> peer_;
};

}  // namespace px

#endif  // PX_UI_CONTROL_H_
