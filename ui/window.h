// TWindow: the main window, a minimal host for the program's dialogs.
//
// New takes, in this order: top, left, bottom, right, caption, style, menu, brush,
// icon, parent window, vertical scroll bar, horizontal scroll bar, foreground colour,
// background colour, cursor, border kind, system-menu flag, caption flag, minimise-box
// flag, maximise-box flag, pixel flag. Empty positions default to 2, 2, 20, 70 (cells
// of 16 x 8 pixels unless the pixel flag is set); foreground white, background the
// system window colour; border "SINGLE"; system menu and caption on.
//
// Without a style the style is composed from the flags: always clip-children; border
// "NONE" makes a pop-up window, "SINGLE" adds a sizing frame; the caption flag adds a
// title bar, and with it the system menu and the minimise and maximise boxes when
// their flags are set; scroll bars when asked.
//
// Activate shows the window and runs the event loop until the window is closed; the
// init action runs once, after the window has first been shown. End closes the
// window (its valid action may refuse), which ends the loop.
#ifndef PX_UI_WINDOW_H_
#define PX_UI_WINDOW_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "runtime/value.h"
#include "ui/backend.h"
#include "ui/colors.h"

namespace px {

class TWindow;
using WindowAction = std::function<void(TWindow&)>;

struct TWindowArgs {
  std::optional<double> top{}, left{}, bottom{}, right{};
  std::string caption{};
  uint32_t style = 0;
  std::string menu{};
  std::string brush{};
  std::string icon{};
  TWindow* parent = nullptr;
  bool vscroll = false;
  bool hscroll = false;
  Rgb fore_color = RgbOf(255, 255, 255);
  std::optional<Rgb> back_color{};  // empty: the system window colour
  std::string cursor{};
  std::string border = "SINGLE";
  bool sys_menu = true;
  bool caption_bar = true;
  bool minimize_box = false;
  bool maximize_box = false;
  bool pixel = false;
};

struct TWindowActivateArgs {
  std::string show{};  // show mode: "NORMAL", "ICONIZED", "MAXIMIZED"; empty for normal
  WindowAction on_left_click{}, on_right_click{}, on_moved{}, on_resized{}, on_painted{},
      on_key_down{};
  WindowAction on_init{};
  WindowAction on_up, on_down, on_page_up, on_page_down, on_left, on_right, on_page_left,
      on_page_right;
  std::function<bool(TWindow&)> valid{};
  WindowAction on_dropped_files{}, on_left_button_up{};
};

class TWindow : public Object {
 public:
  static std::shared_ptr<TWindow> New(const TWindowArgs& args = {});
  ~TWindow() override;

  // Shows the window and runs the event loop until the window is closed.
  void Activate(const TWindowActivateArgs& args = {});
  // Closes the window unless its valid action refuses; true when closed.
  bool End();
  void Iconize();

  // Pixel geometry of the window on the screen.
  int top() const { return top_; }
  int left() const { return left_; }
  int width() const { return width_; }
  int height() const { return height_; }
  const std::string& caption() const { return args_.caption; }
  uint32_t style() const { return style_; }
  const TWindowArgs& args() const { return args_; }
  bool running() const { return running_; }
  bool iconized() const { return iconized_; }
  bool closed() const { return closed_; }

  // Backend side: the window has been shown (runs the init action the first time).
  void Shown();
  // Backend side: the user asked the window to close; true when it may.
  bool CloseRequested();
  std::unique_ptr<Peer>& peer() { return peer_; }
  std::string ClassName() const override { return "TWINDOW"; }

 private:
  explicit TWindow(const TWindowArgs& args);

  TWindowArgs args_;
  TWindowActivateArgs activate_;
  uint32_t style_ = 0;
  int top_ = 0, left_ = 0, width_ = 0, height_ = 0;
  bool running_ = false;
  bool initialised_ = false;
  bool closed_ = false;
  bool iconized_ = false;
  std::unique_ptr<Peer> peer_;
};

}  // namespace px

#endif  // PX_UI_WINDOW_H_
