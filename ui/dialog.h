// TDialog: a dialog built in code, with its controls.
//
// New takes, in this order: top, left, bottom, right, caption, resource name,
// resource module, extension-controls flag, style, text colour, background colour,
// brush, owner window, pixel flag, icon, font, help id, width, height. Positions are
// dialog cells (rows 15.1 and columns 7.9 pixels, truncated) unless the pixel flag is
// set; without a bottom and right the dialog is 10 by 40 cells. Without a style, a
// dialog built in code is pop-up + modal frame + caption + system menu. The default
// text colour is the system's button-text colour, the background the button face.
//
// Activate takes, in this order: on left click, on moved, on painted, centred
// (false), valid (may always close), modal (true), init action, on right click, when,
// resize-16 flag. A modal Activate returns once the dialog has been closed, and while
// it is open the windows below take no input; a non-modal one returns as soon as the
// dialog is shown, and the dialog stays open (repainted when messages are pumped)
// until End. The init action runs once the dialog is up.
//
// End closes the dialog (unless its valid action refuses) and destroys its controls.
// Refresh re-evaluates every control's text action or bound value.
#ifndef PX_UI_DIALOG_H_
#define PX_UI_DIALOG_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/value.h"
#include "ui/backend.h"
#include "ui/colors.h"
#include "ui/font.h"

namespace px {

class TDialog;
class TControl;
class TButton;
class TGet;
using DialogAction = std::function<void(TDialog&)>;

struct TDialogArgs {
  std::optional<double> top{}, left{}, bottom{}, right{};
  std::string caption{};
  std::string resource{};
  std::string module{};
  bool ext_controls = false;
  uint32_t style = 0;
  std::optional<Rgb> text_color{}, back_color{};
  std::string brush{};
  Object* owner = nullptr;  // a TWindow or a TDialog; empty: the active window
  bool pixel = false;
  std::string icon{};
  std::shared_ptr<TFont> font{};
  int help_id = 0;
  std::optional<int> width{}, height{};  // pixels, instead of right and bottom
};

struct TDialogActivateArgs {
  DialogAction on_left_click{}, on_moved{}, on_painted{};
  bool centred = false;
  std::function<bool(TDialog&)> valid{};
  bool modal = true;
  DialogAction on_init{};
  DialogAction on_right_click{};
  std::function<bool(TDialog&)> when{};
  bool resize16 = false;
};

class TDialog : public Object, public std::enable_shared_from_this<TDialog> {
 public:
  static std::shared_ptr<TDialog> New(const TDialogArgs& args = {});
  ~TDialog() override;

  void Activate(const TDialogActivateArgs& args = {});
  // Closes the dialog unless its valid action refuses; true when closed (or never
  // shown).
  bool End();
  // Re-evaluates and shows every control again.
  void Refresh();

  // Pixel geometry: position on the owner and size.
  int top() const { return top_; }
  int left() const { return left_; }
  int width() const { return width_; }
  int height() const { return height_; }
  const std::string& caption() const { return args_.caption; }
  uint32_t style() const { return style_; }
  bool has_title_bar() const;
  bool pixel() const { return args_.pixel; }
  Object* owner() const { return args_.owner; }
  std::shared_ptr<TFont> font() const { return args_.font; }
  Rgb text_color() const;
  Rgb back_color() const;
  bool modal() const { return activate_.modal; }
  bool centred() const { return activate_.centred; }
  bool shown() const { return shown_; }
  bool ended() const { return ended_; }
  const std::vector<std::shared_ptr<TControl>>& controls() const { return controls_; }
  // The field that has, or last had, the focus.
  TGet* focus() const { return focus_; }
  // The button whose label (without "&") equals the text, ignoring case; or nullptr.
  TButton* FindButton(std::string_view label) const;

  // Backend side. The dialog is up: runs the init action the first time.
  void Shown();
  // A field got the focus.
  void FieldEntered(TGet& get);
  // The focus leaves a field: stores its buffer and asks its valid action. False means
  // the focus must go back to the field.
  bool FieldLeft(TGet& get);
  // A button was pressed (mouse, accelerator or Enter). Leaves the focused field
  // first unless the button has the cancel flag; runs the action when allowed. False
  // when the press was refused (the focus then belongs to the field).
  bool PressButton(TButton& button);
  // The user closed the dialog through the window system (Escape, the close box):
  // ends it without storing fields. True when it closed.
  bool CloseRequested();
  // Ends the dialog without asking its valid action: for a backend that can get no
  // more input and must not leave a modal dialog open for ever.
  void Abandon();

  std::unique_ptr<Peer>& peer() { return peer_; }
  std::string ClassName() const override { return "TDIALOG"; }

 private:
  friend class TControl;
  friend class TSay;
  friend class TGet;
  friend class TButton;
  friend class TListBox;
  explicit TDialog(const TDialogArgs& args);
  void Add(std::shared_ptr<TControl> control);
  void DetachControls();

  TDialogArgs args_;
  TDialogActivateArgs activate_;
  uint32_t style_ = 0;
  int top_ = 0, left_ = 0, width_ = 0, height_ = 0;
  bool shown_ = false;
  bool initialised_ = false;
  bool ended_ = false;
  std::vector<std::shared_ptr<TControl>> controls_;
  TGet* focus_ = nullptr;
  std::unique_ptr<Peer> peer_;
};

}  // namespace px

#endif  // PX_UI_DIALOG_H_
