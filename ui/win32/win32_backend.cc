#include "ui/win32/win32_backend.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "runtime/win32_text.h"
#include "ui/button.h"
#include "ui/dialog.h"
#include "ui/get.h"
#include "ui/list_box.h"
#include "ui/say.h"
#include "ui/style.h"
#include "ui/ui_state.h"
#include "ui/win32/dialog_template.h"
#include "ui/win32/folder_dialog.h"
#include "ui/win32/text_window.h"
#include "ui/win32/window_picture.h"
#include "ui/window.h"

#include <windows.h>
// <windows.h> names its W functions by macros that clash with the interface's own.
#undef MessageBox

namespace px {

namespace {

constexpr UINT kMsgShown = WM_APP + 1;  // main window: run the init action
constexpr UINT kMsgFocus = WM_APP + 2;  // dialog: give the focus to the control in wParam
constexpr int kFirstControlId = 100;
constexpr wchar_t kMainClass[] = L"PxMainWindow";

class Win32Backend;
Win32Backend* g_backend = nullptr;

class WindowPeer : public Peer {
 public:
  HWND hwnd = nullptr;
};

// What a dialog keeps while it is on the screen; the dialog procedure finds it through
// the window's user data.
class DialogPeer : public Peer {
 public:
  ~DialogPeer() override {
    if (font != nullptr) DeleteObject(font);
    if (back != nullptr) DeleteObject(back);
  }
  std::weak_ptr<TDialog> dialog;
  HWND hwnd = nullptr;
  HFONT font = nullptr;        // the dialog's own font, when it has one
  HBRUSH back = nullptr;       // the dialog's own colour, when it has one
  std::vector<HWND> disabled;  // the windows a modal dialog took the input from
};

class ControlPeer : public Peer {
 public:
  ~ControlPeer() override {
    if (font != nullptr) DeleteObject(font);
    if (back != nullptr) DeleteObject(back);
  }
  HWND hwnd = nullptr;
  HFONT font = nullptr;
  HBRUSH back = nullptr;
};

COLORREF ToColorRef(Rgb c) {
  return RGB(RedOf(c), GreenOf(c), BlueOf(c));
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

std::wstring WindowText(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, s.data(), n + 1);
  s.resize(static_cast<size_t>(std::max(got, 0)));
  return s;
}

HWND HwndOf(Object* object) {
  if (auto* w = dynamic_cast<TWindow*>(object)) {
    auto* peer = dynamic_cast<WindowPeer*>(w->peer().get());
    return peer != nullptr ? peer->hwnd : nullptr;
  }
  if (auto* d = dynamic_cast<TDialog*>(object)) {
    auto* peer = dynamic_cast<DialogPeer*>(d->peer().get());
    return peer != nullptr ? peer->hwnd : nullptr;
  }
  return nullptr;
}

HWND HwndOf(TControl& c) {
  auto* peer = dynamic_cast<ControlPeer*>(c.peer().get());
  return peer != nullptr ? peer->hwnd : nullptr;
}

// The window new boxes and dialogs belong to: the top dialog, else the main window.
HWND ActiveHwnd(const TDialog* except = nullptr) {
  const UiState& ui = GetUiState();
  for (auto it = ui.open_dialogs.rbegin(); it != ui.open_dialogs.rend(); ++it) {
    if (*it == except) continue;
    if (HWND h = HwndOf(*it)) return h;
  }
  return ui.main_window != nullptr ? HwndOf(ui.main_window) : nullptr;
}

// A window the user can see. The main window never counts: it is a minimised stand-in,
// and a window owned by a minimised window is hidden along with it.
bool VisibleOnScreen(HWND h) {
  if (h == nullptr || !IsWindowVisible(h) || IsIconic(h)) return false;
  TWindow* main = GetUiState().main_window;
  return main == nullptr || HwndOf(main) != h;
}

// Centres a top-level window over its owner when that one can be seen, else in the
// work area of the screen it is on.
void CentreWindow(HWND w, HWND owner) {
  RECT box;
  GetWindowRect(w, &box);
  RECT area;
  if (VisibleOnScreen(owner)) {
    GetWindowRect(owner, &area);
  } else {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTOPRIMARY), &info);
    area = info.rcWork;
  }
  const int width = box.right - box.left, height = box.bottom - box.top;
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  // Never above or left of the screen, so that the title bar can be reached.
  x = std::max(x, 0);
  y = std::max(y, 0);
  SetWindowPos(w, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Paints every window whose area is invalid and hands the result to the screen, taking
// no input.
void PaintPending() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    DispatchMessageW(&m);
  }
  GdiFlush();
}

bool IsEditBox(HWND h) {
  wchar_t name[16] = {};
  return h != nullptr && GetClassNameW(h, name, 16) > 0 && _wcsicmp(name, L"Edit") == 0;
}

TGet* FirstEditableField(TDialog& d) {
  for (const std::shared_ptr<TControl>& c : d.controls()) {
    if (c->kind() != TControl::Kind::kGet) continue;
    auto* get = static_cast<TGet*>(c.get());
    if (!get->read_only() && get->enabled() && HwndOf(*get) != nullptr) return get;
  }
  return nullptr;
}

TButton* DefaultButton(TDialog& d) {
  for (const std::shared_ptr<TControl>& c : d.controls()) {
    if (c->kind() != TControl::Kind::kButton) continue;
    auto* b = static_cast<TButton*>(c.get());
    if (b->is_default() && b->enabled()) return b;
  }
  return nullptr;
}

bool HasButtons(const TDialog& d) {
  for (const std::shared_ptr<TControl>& c : d.controls()) {
    if (c->kind() == TControl::Kind::kButton) return true;
  }
  return false;
}

// A read-only field shown as plain text: in a window where nothing can be typed or
// pressed (a progress window) it is a line of text, not an edit box.
bool ShownAsText(const TDialog& d, const TGet& get) {
  if (!get.read_only()) return false;
  for (const std::shared_ptr<TControl>& c : d.controls()) {
    if (c->kind() == TControl::Kind::kButton || c->kind() == TControl::Kind::kListBox) return false;
    if (c->kind() == TControl::Kind::kGet && !static_cast<TGet&>(*c).read_only()) return false;
  }
  return true;
}

TControl* ControlOf(TDialog& d, HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  for (const std::shared_ptr<TControl>& c : d.controls()) {
    if (HwndOf(*c) == hwnd) return c.get();
  }
  return nullptr;
}

std::shared_ptr<TControl> SharedControl(TDialog& d, TControl* c) {
  for (const std::shared_ptr<TControl>& each : d.controls()) {
    if (each.get() == c) return each;
  }
  return nullptr;
}

// A font of the program's (face, height in pixels, weight...) as the system makes it.
HFONT MakeFont(const TFont& font) {
  const TFontArgs& a = font.args();
  LOGFONTW lf{};
  lf.lfHeight = a.height != 0 ? a.height : -12;
  lf.lfWidth = a.width;
  lf.lfEscapement = a.escapement;
  lf.lfOrientation = a.orientation;
  lf.lfWeight = font.weight();
  lf.lfItalic = a.italic ? TRUE : FALSE;
  lf.lfUnderline = a.underline ? TRUE : FALSE;
  lf.lfStrikeOut = a.strike_out ? TRUE : FALSE;
  lf.lfCharSet = static_cast<BYTE>(a.char_set != 0 ? a.char_set : DEFAULT_CHARSET);
  lf.lfQuality = DEFAULT_QUALITY;
  const std::wstring face = WideFromAnsi(a.face);
  wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  return CreateFontIndirectW(&lf);
}

// The base units of a font, measured as the dialog manager measures them: the average
// width of the 52 letters (rounded) and the character height.
win32::DialogUnits BaseUnitsOf(HFONT font) {
  win32::DialogUnits u;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW tm{};
  SIZE size{};
  static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  if (GetTextMetricsW(dc, &tm) && GetTextExtentPoint32W(dc, kLetters, 52, &size)) {
    u.base_x = std::max(1, static_cast<int>((size.cx / 26 + 1) / 2));
    u.base_y = std::max(1, static_cast<int>(tm.tmHeight));
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return u;
}

// The template's font: the dialog's own, else the system's dialog font.
win32::TemplateFont TemplateFontOf(const TDialog& d) {
  win32::TemplateFont f;
  if (d.font() == nullptr) return f;
  const TFontArgs& a = d.font()->args();
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  const int pixels = d.font()->pixel_height() > 0 ? d.font()->pixel_height() : 12;
  f.face = WideFromAnsi(a.face);
  f.point_size = std::max(1, MulDiv(pixels, 72, dpi));
  f.weight = d.font()->weight();
  f.italic = a.italic;
  f.char_set = static_cast<uint8_t>(a.char_set != 0 ? a.char_set : DEFAULT_CHARSET);
  return f;
}

// The frame of a dialog: the bits of its style the window system knows by the same
// numbers, visible only once it has been placed.
DWORD DialogStyle(const TDialog& d) {
  const uint32_t keep = style::kPopup | style::kCaption | style::kSysMenu | style::kThickFrame |
                        style::kMinimizeBox | style::kMaximizeBox | style::kVScroll |
                        style::kHScroll | style::kClipChildren | style::kModalFrame;
  DWORD s = (d.style() & keep) | DS_SETFONT | WS_CLIPCHILDREN;
  // A dialog of neither kind is a pop-up: a top-level window without an owner's frame.
  if (!(s & WS_CAPTION)) s |= WS_POPUP;
  return s;
}

DWORD DialogExStyle(const TDialog& d) {
  DWORD ex = WS_EX_CONTROLPARENT;
  if (d.style() & style::kModalFrame) ex |= WS_EX_DLGMODALFRAME;
  if (!d.has_title_bar() && !(d.style() & style::kModalFrame)) ex |= WS_EX_WINDOWEDGE;
  return ex;
}

DWORD MainStyle(uint32_t s) {
  const uint32_t keep = style::kPopup | style::kCaption | style::kSysMenu | style::kThickFrame |
                        style::kMinimizeBox | style::kMaximizeBox | style::kVScroll |
                        style::kHScroll | style::kClipChildren;
  return s & keep;
}

UINT IconOf(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation:
      return MB_ICONINFORMATION;
    case MessageIcon::kExclamation:
      return MB_ICONWARNING;
    case MessageIcon::kStop:
      break;
  }
  return MB_ICONSTOP;
}

// The template entry of a control: its class, style and text.
win32::TemplateItem ItemOf(const TDialog& d, TControl& c, int id) {
  win32::TemplateItem item;
  item.id = static_cast<uint16_t>(id);
  item.left = c.left();
  item.top = c.top();
  item.width = c.width();
  item.height = c.height();
  item.style = WS_CHILD | WS_VISIBLE;
  switch (c.kind()) {
    case TControl::Kind::kSay: {
      auto& say = static_cast<TSay&>(c);
      item.control_class = win32::kStaticClass;
      item.style |= say.centred() ? SS_CENTER : say.right() ? SS_RIGHT : SS_LEFT;
      if (say.border()) item.style |= WS_BORDER;
      item.text = WideFromAnsi(say.text());
      break;
    }
    case TControl::Kind::kGet: {
      auto& get = static_cast<TGet&>(c);
      if (ShownAsText(d, get)) {
        // Shown as it is: an "&" in a path is a letter, not an accelerator mark.
        item.control_class = win32::kStaticClass;
        item.style |= SS_NOPREFIX | SS_ENDELLIPSIS;
        item.style |= get.centred() ? SS_CENTER : get.right() ? SS_RIGHT : SS_LEFT;
      } else {
        item.control_class = win32::kEditClass;
        item.style |= WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER;
        item.style |= get.centred() ? ES_CENTER : get.right() ? ES_RIGHT : ES_LEFT;
        if (get.read_only()) item.style |= ES_READONLY;
        if (get.password()) item.style |= ES_PASSWORD;
        if (!get.enabled()) item.style |= WS_DISABLED;
      }
      item.text = WideFromAnsi(get.buffer());
      break;
    }
    case TControl::Kind::kButton: {
      auto& b = static_cast<TButton&>(c);
      item.control_class = win32::kButtonClass;
      // Told when it takes the focus, so that the field left for it is settled then.
      item.style |= WS_TABSTOP | BS_NOTIFY | (b.is_default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      if (!b.enabled()) item.style |= WS_DISABLED;
      item.text = WideFromAnsi(b.caption());
      break;
    }
    case TControl::Kind::kListBox:
      item.control_class = win32::kListBoxClass;
      item.style |= WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
      break;
  }
  return item;
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

class Win32Backend : public UiBackend {
 public:
  Win32Backend() { g_backend = this; }
  ~Win32Backend() override {
    if (g_backend == this) g_backend = nullptr;
  }

  void MessageBox(MessageIcon icon, const std::string& text, const std::string& caption) override {
    // What the user is told also goes to standard output, one line as on the console,
    // so that a run leaves a record of it.
    std::printf("[%s] %s\n", OneLine(caption).c_str(), OneLine(text).c_str());
    std::fflush(stdout);
    HWND owner = ActiveHwnd();
    if (!VisibleOnScreen(owner)) owner = nullptr;
    // Without an owner the box still takes the input from every window of the program.
    const UINT flags =
        MB_OK | IconOf(icon) | MB_SETFOREGROUND | (owner != nullptr ? MB_APPLMODAL : MB_TASKMODAL);
    MessageBoxW(owner, WideFromAnsi(text).c_str(), WideFromAnsi(caption).c_str(), flags);
  }

  void ShowText(const std::string& caption, const std::string& text) override {
    HWND owner = ActiveHwnd();
    win32::ShowTextWindow(VisibleOnScreen(owner) ? owner : nullptr, caption, text);
  }

  void Repaint() override { PaintPending(); }

  void RunWindow(TWindow& window) override {
    RegisterMainClass();
    const DWORD style = MainStyle(window.style());
    RECT r{0, 0, std::max(window.width(), 1), std::max(window.height(), 1)};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    auto peer = std::make_unique<WindowPeer>();
    WindowPeer* p = peer.get();
    window.peer() = std::move(peer);
    HWND hwnd = CreateWindowExW(0, kMainClass, WideFromAnsi(window.caption()).c_str(), style,
                                window.left(), window.top(), r.right - r.left, r.bottom - r.top,
                                nullptr, nullptr, GetModuleHandleW(nullptr), &window);
    if (hwnd == nullptr) {
      // The program's work still runs: its dialogs and boxes report what they can.
      std::fprintf(stderr, "The main window cannot be shown (error %lu).\n", GetLastError());
      window.peer().reset();
      window.Shown();
      return;
    }
    p->hwnd = hwnd;
    ShowWindow(hwnd, window.iconized() ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);
    PostMessageW(hwnd, kMsgShown, 0, 0);
    MSG m;
    while (p->hwnd != nullptr) {
      const BOOL got = GetMessageW(&m, nullptr, 0, 0);
      if (got == 0 || got == -1) break;
      DispatchOne(m);
    }
    if (p->hwnd != nullptr) DestroyWindow(p->hwnd);
    window.peer().reset();
  }

  void CloseWindow(TWindow& window) override {
    auto* peer = dynamic_cast<WindowPeer*>(window.peer().get());
    if (peer == nullptr || peer->hwnd == nullptr) return;
    Finish(peer);
  }

  void IconizeWindow(TWindow& window) override {
    auto* peer = dynamic_cast<WindowPeer*>(window.peer().get());
    if (peer != nullptr && peer->hwnd != nullptr) ShowWindow(peer->hwnd, SW_MINIMIZE);
  }

  void RunDialog(TDialog& d) override {
    HWND owner = d.owner() != nullptr ? HwndOf(d.owner()) : ActiveHwnd(&d);
    // A dialog owned by a window that cannot be seen (the minimised main window) stands
    // on its own: the system hides the windows a minimised window owns.
    if (!VisibleOnScreen(owner)) owner = nullptr;
    auto peer = std::make_unique<DialogPeer>();
    DialogPeer* p = peer.get();
    p->dialog = d.weak_from_this();
    d.peer() = std::move(peer);
    if (!Create(d, p, owner)) {
      std::fprintf(stderr, "The window \"%s\" cannot be shown (error %lu).\n", d.caption().c_str(),
                   GetLastError());
      d.peer().reset();
      if (d.modal()) d.Abandon();
      return;
    }
    if (d.modal()) {
      // The other windows of the program take no input while the dialog is up.
      for (HWND h : ProgramWindows()) {
        if (h != p->hwnd && IsWindowEnabled(h)) {
          EnableWindow(h, FALSE);
          p->disabled.push_back(h);
        }
      }
    }
    ShowWindow(p->hwnd, SW_SHOW);
    SetForegroundWindow(p->hwnd);
    // Drawn before anything else happens: the init action may be long work that takes
    // no messages.
    RedrawWindow(p->hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PaintPending();
    std::shared_ptr<TDialog> self = d.shared_from_this();
    if (TGet* first = FirstEditableField(d)) {
      HWND h = HwndOf(*first);
      SetFocus(h);
      SendMessageW(h, EM_SETSEL, 0, -1);
      d.FieldEntered(*first);
    } else if (TButton* button = DefaultButton(d)) {
      // Nothing to type in (the error dialog): Enter answers with the default choice.
      SetFocus(HwndOf(*button));
    }
    if (!d.ended()) d.Shown();
    if (!d.modal()) return;
    MSG m;
    while (!d.ended()) {
      const BOOL got = GetMessageW(&m, nullptr, 0, 0);
      if (got == 0 || got == -1) {
        // The program is asked to end: the request is left for the outer loop.
        if (got == 0) PostQuitMessage(static_cast<int>(m.wParam));
        d.Abandon();
        break;
      }
      DispatchOne(m);
    }
    Destroy(p);
    d.peer().reset();
  }

  void EndDialog(TDialog& d) override {
    auto* p = dynamic_cast<DialogPeer*>(d.peer().get());
    if (p == nullptr) return;
    Destroy(p);
    if (!d.modal()) d.peer().reset();
  }

  void RefreshControl(TControl& c) override {
    HWND h = HwndOf(c);
    if (h == nullptr) return;
    std::string text;
    switch (c.kind()) {
      case TControl::Kind::kSay:
        text = static_cast<TSay&>(c).text();
        break;
      case TControl::Kind::kGet:
        text = static_cast<TGet&>(c).buffer();
        break;
      default:
        InvalidateRect(h, nullptr, TRUE);
        return;
    }
    const std::wstring wide = WideFromAnsi(text);
    if (WindowText(h) != wide) {
      setting_text_ = true;
      SetWindowTextW(h, wide.c_str());
      setting_text_ = false;
    }
    InvalidateRect(h, nullptr, TRUE);
  }

  void FocusControl(TControl& c) override {
    HWND h = HwndOf(c);
    if (h != nullptr) PostMessageW(GetParent(h), kMsgFocus, reinterpret_cast<WPARAM>(h), 0);
  }

  void SetCursor(CursorShape shape) override {
    busy_ = shape == CursorShape::kWait;
    ::SetCursor(LoadCursorW(nullptr, busy_ ? IDC_WAIT : IDC_ARROW));
  }

  bool PumpMessages() override {
    pumping_ = true;
    MSG m;
    bool quit = false;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(m.wParam));
        quit = true;
        break;
      }
      DispatchOne(m);
    }
    pumping_ = false;
    if (quit_requested_) {
      quit_requested_ = false;
      quit = true;
      // Posted again, so that the main window's loop still sees it.
      if (TWindow* main = GetUiState().main_window) {
        if (HWND h = HwndOf(main)) PostMessageW(h, WM_CLOSE, 0, 0);
      }
    }
    return !quit;
  }

  std::string ChooseFolder(const std::string& title, const std::string& start_folder) override {
    return win32::ChooseFolderDialog(ActiveHwnd(), title.empty() ? "Choose a folder" : title,
                                     start_folder);
  }

  int64_t ActiveWindowHandle() override {
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(ActiveHwnd()));
  }

  bool SaveImage(TDialog& d, const std::string& png_path) override {
    HWND h = HwndOf(&d);
    if (h == nullptr) return false;
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PaintPending();
    return win32::SaveWindowPicture(h, png_path);
  }

  void Shutdown() override {
    if (busy_) SetCursor(CursorShape::kArrow);
    for (HWND h : ProgramWindows()) ShowWindow(h, SW_HIDE);
  }

  // The dialog procedure's work; false for messages left to the dialog manager.
  INT_PTR OnDialogMessage(DialogPeer* p, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    std::shared_ptr<TDialog> d = p->dialog.lock();
    if (d == nullptr) return FALSE;
    switch (msg) {
      case WM_COMMAND:
        OnCommand(*d, LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
        return TRUE;
      case WM_CLOSE:
        // The close box: ends the dialog as Escape does where there is no Cancel.
        if (!d->ended()) d->CloseRequested();
        return TRUE;
      case kMsgFocus: {
        HWND h = reinterpret_cast<HWND>(wp);
        if (IsWindow(h) && GetParent(h) == hwnd && !d->ended()) SetFocus(h);
        return TRUE;
      }
      case WM_SETCURSOR:
        if (!busy_) return FALSE;
        ::SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
      case WM_CTLCOLORDLG:
        return p->back != nullptr ? reinterpret_cast<INT_PTR>(p->back) : FALSE;
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORLISTBOX:
        return ControlColours(*d, p, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), msg);
      default:
        return FALSE;
    }
  }

  LRESULT OnMainMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* window = reinterpret_cast<TWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
      case kMsgShown:
        if (window != nullptr) window->Shown();
        return 0;
      case WM_CLOSE: {
        if (window == nullptr) break;
        if (!window->closed()) {
          if (pumping_) {
            // Seen while pumping: SYSREFRESH reports it and posts it again.
            quit_requested_ = true;
            return 0;
          }
          if (!window->CloseRequested()) return 0;
        }
        if (auto* peer = dynamic_cast<WindowPeer*>(window->peer().get())) Finish(peer);
        return 0;
      }
      case WM_SETCURSOR:
        if (!busy_) break;
        ::SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      case WM_NCDESTROY:
        if (window != nullptr) {
          if (auto* peer = dynamic_cast<WindowPeer*>(window->peer().get())) peer->hwnd = nullptr;
        }
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        break;
      default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }

 private:
  // A field the focus has left whose value has not yet been stored and checked.
  struct PendingLeave {
    std::weak_ptr<TDialog> dialog;
    std::weak_ptr<TControl> field;
    HWND hwnd = nullptr;
  };

  void RegisterMainClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kMainClass;
    registered = RegisterClassExW(&wc) != 0;
  }

  // Every window of the program that is on the screen or may come there: the main
  // window and the open dialogs.
  std::vector<HWND> ProgramWindows() const {
    std::vector<HWND> out;
    const UiState& ui = GetUiState();
    if (ui.main_window != nullptr) {
      if (HWND h = HwndOf(ui.main_window)) out.push_back(h);
    }
    for (TDialog* d : ui.open_dialogs) {
      if (HWND h = HwndOf(d)) out.push_back(h);
    }
    return out;
  }

  // One message to its window; the keys of a dialog (Tab, Enter, Escape, accelerators)
  // go through the dialog manager of the dialog it belongs to.
  void DispatchOne(MSG& m) {
    // Ctrl+A selects a field's whole text, as in the edit boxes of later systems.
    if (m.message == WM_KEYDOWN && m.wParam == 'A' && GetKeyState(VK_CONTROL) < 0 &&
        GetKeyState(VK_MENU) >= 0 && IsEditBox(m.hwnd)) {
      SendMessageW(m.hwnd, EM_SETSEL, 0, -1);
      return;
    }
    const UiState& ui = GetUiState();
    for (auto it = ui.open_dialogs.rbegin(); it != ui.open_dialogs.rend(); ++it) {
      HWND h = HwndOf(*it);
      if (h == nullptr || (m.hwnd != h && !IsChild(h, m.hwnd))) continue;
      if (IsDialogMessageW(h, &m)) return;
      break;
    }
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }

  bool Create(TDialog& d, DialogPeer* p, HWND owner) {
    const win32::TemplateFont tfont = TemplateFontOf(d);
    // Measured on the font the dialog manager makes from the template.
    LOGFONTW lf{};
    HDC screen = GetDC(nullptr);
    lf.lfHeight = -MulDiv(tfont.point_size, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    lf.lfWeight = tfont.weight;
    lf.lfItalic = tfont.italic ? TRUE : FALSE;
    lf.lfCharSet = tfont.char_set;
    wcsncpy(lf.lfFaceName, tfont.face.c_str(), LF_FACESIZE - 1);
    HFONT measured = CreateFontIndirectW(&lf);
    const win32::DialogUnits units = BaseUnitsOf(measured);
    DeleteObject(measured);

    const DWORD style = DialogStyle(d);
    win32::DialogTemplate t(style, DialogExStyle(d), d.width(), d.height(),
                            WideFromAnsi(d.caption()), tfont, units);
    const std::vector<std::shared_ptr<TControl>>& controls = d.controls();
    for (size_t i = 0; i < controls.size(); ++i) {
      t.Add(ItemOf(d, *controls[i], kFirstControlId + static_cast<int>(i)));
    }
    HWND hwnd = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                           static_cast<LPCDLGTEMPLATEW>(t.data()), owner,
                                           DialogProc, reinterpret_cast<LPARAM>(p));
    if (hwnd == nullptr) return false;
    p->hwnd = hwnd;

    // The exact pixels of the objects: the dialog units of the template round them.
    RECT r{0, 0, d.width(), d.height()};
    AdjustWindowRectEx(&r, GetWindowLongW(hwnd, GWL_STYLE), FALSE,
                       GetWindowLongW(hwnd, GWL_EXSTYLE));
    SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (d.font() != nullptr) {
      p->font = MakeFont(*d.font());
      SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(p->font), FALSE);
    }
    // A dialog given colours of its own (the green index rebuild window) is drawn in
    // them; the others keep the system's.
    if (d.back_color() != SystemColor(kColorButtonFace)) {
      p->back = CreateSolidBrush(ToColorRef(d.back_color()));
    }
    for (size_t i = 0; i < controls.size(); ++i) {
      TControl& c = *controls[i];
      HWND h = GetDlgItem(hwnd, kFirstControlId + static_cast<int>(i));
      if (h == nullptr) continue;
      auto peer = std::make_unique<ControlPeer>();
      peer->hwnd = h;
      SetWindowPos(h, nullptr, c.left(), c.top(), c.width(), c.height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
      if (c.font() != nullptr && c.font() != d.font()) {
        peer->font = MakeFont(*c.font());
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(peer->font), FALSE);
      } else if (p->font != nullptr) {
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(p->font), FALSE);
      }
      if (c.back_color()) peer->back = CreateSolidBrush(ToColorRef(*c.back_color()));
      if (c.kind() == TControl::Kind::kGet) {
        auto& get = static_cast<TGet&>(c);
        if (!get.read_only())
          SendMessageW(h, EM_SETLIMITTEXT, std::max<size_t>(get.length(), 1), 0);
      } else if (c.kind() == TControl::Kind::kListBox) {
        auto& list = static_cast<TListBox&>(c);
        for (const std::string& item : list.items()) {
          SendMessageW(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromAnsi(item).c_str()));
        }
        if (list.selected() > 0) SendMessageW(h, LB_SETCURSEL, list.selected() - 1, 0);
      } else if (c.kind() == TControl::Kind::kButton && static_cast<TButton&>(c).is_default()) {
        SendMessageW(hwnd, DM_SETDEFID, kFirstControlId + i, 0);
      }
      c.peer() = std::move(peer);
    }

    if (d.centred()) {
      CentreWindow(hwnd, owner);
    } else {
      POINT at{d.left(), d.top()};
      if (VisibleOnScreen(owner)) ClientToScreen(owner, &at);
      SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return true;
  }

  // Takes the dialog's window off the screen; the windows it took the input from get it
  // back first, so that the system activates one of them and not another program.
  void Destroy(DialogPeer* p) {
    for (HWND h : p->disabled) {
      if (IsWindow(h)) EnableWindow(h, TRUE);
    }
    p->disabled.clear();
    if (pending_leave_.hwnd != nullptr && GetParent(pending_leave_.hwnd) == p->hwnd) {
      pending_leave_ = {};
    }
    if (p->hwnd != nullptr) {
      HWND h = p->hwnd;
      p->hwnd = nullptr;
      DestroyWindow(h);
    }
  }

  void Finish(WindowPeer* peer) {
    HWND main = peer->hwnd;
    for (HWND h : ProgramWindows()) {
      if (h != main) ShowWindow(h, SW_HIDE);
    }
    if (main != nullptr) DestroyWindow(main);
    peer->hwnd = nullptr;
  }

  void OnCommand(TDialog& d, int id, int code, HWND from) {
    if (d.ended()) return;
    if (id == IDCANCEL && from == nullptr) {
      // Escape presses Cancel, else closes the dialog as its close box does. A window
      // without buttons (a progress or wait window) is not closed from the keyboard.
      if (TButton* cancel = d.FindButton("Cancel")) {
        Press(d, *cancel);
      } else if (HasButtons(d)) {
        d.CloseRequested();
      }
      return;
    }
    if (id == IDOK && from == nullptr) {
      // Enter where no button has the focus and none is the default: nothing to press.
      return;
    }
    TControl* c = ControlOf(d, from);
    if (c == nullptr) return;
    std::shared_ptr<TControl> keep = SharedControl(d, c);
    switch (c->kind()) {
      case TControl::Kind::kButton:
        if (code == BN_CLICKED) {
          Press(d, static_cast<TButton&>(*c));
        } else if (code == BN_SETFOCUS) {
          FocusGained(d, keep, from);
        }
        break;
      case TControl::Kind::kGet:
        if (code == EN_CHANGE) {
          Edited(static_cast<TGet&>(*c), from);
        } else if (code == EN_SETFOCUS) {
          FocusGained(d, keep, from);
        } else if (code == EN_KILLFOCUS) {
          auto& field = static_cast<TGet&>(*c);
          // Only the field the user is in is left: a field that loses the focus because
          // another one's check sent it back there was never entered.
          if (!field.read_only() && d.focus() == &field) {
            pending_leave_ = {d.weak_from_this(), keep, from};
          }
        }
        break;
      case TControl::Kind::kListBox:
        if (code == LBN_SELCHANGE) {
          const LRESULT at = SendMessageW(from, LB_GETCURSEL, 0, 0);
          if (at != LB_ERR) static_cast<TListBox&>(*c).Select(static_cast<int>(at) + 1);
        } else if (code == LBN_SETFOCUS) {
          FocusGained(d, keep, from);
        }
        break;
      case TControl::Kind::kSay:
        break;
    }
  }

  // The user changed a field's text: the field applies its picture and length, and the
  // edit box shows what it keeps.
  void Edited(TGet& get, HWND h) {
    if (setting_text_ || !get.alive()) return;
    const std::string typed = AnsiFromWide(WindowText(h));
    const std::string shown = get.Edit(typed);
    if (shown == typed) return;
    DWORD start = 0, end = 0;
    SendMessageW(h, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    setting_text_ = true;
    SetWindowTextW(h, WideFromAnsi(shown).c_str());
    setting_text_ = false;
    SendMessageW(h, EM_SETSEL, start, end);
  }

  // A control of a dialog took the focus. The field left before it is stored and
  // checked now, whatever way it was left (Tab, Shift+Tab, a click, an accelerator);
  // when its check refuses, the focus goes back to it. A button that runs without
  // asking the field (Cancel, Browse) leaves the field unsettled until the focus moves
  // on or a button that asks it is pressed.
  void FocusGained(TDialog& d, const std::shared_ptr<TControl>& control, HWND h) {
    if (control == nullptr || !control->alive() || d.ended()) return;
    if (pending_leave_.hwnd != nullptr && pending_leave_.hwnd != h) {
      const bool to_cancel =
          control->kind() == TControl::Kind::kButton && static_cast<TButton&>(*control).cancel();
      std::shared_ptr<TDialog> left_dialog = pending_leave_.dialog.lock();
      std::shared_ptr<TControl> left = pending_leave_.field.lock();
      if (left_dialog.get() == &d && left && left->alive() && !to_cancel) {
        HWND left_hwnd = pending_leave_.hwnd;
        pending_leave_ = {};
        if (!d.FieldLeft(static_cast<TGet&>(*left))) {
          PostMessageW(GetParent(left_hwnd), kMsgFocus, reinterpret_cast<WPARAM>(left_hwnd), 0);
          return;
        }
      } else if (left_dialog.get() != &d || !left || !left->alive()) {
        pending_leave_ = {};
      }
    } else if (pending_leave_.hwnd == h) {
      pending_leave_ = {};  // back in the field it left: nothing was left
    }
    if (control->kind() == TControl::Kind::kGet) d.FieldEntered(static_cast<TGet&>(*control));
  }

  void Press(TDialog& d, TButton& button) {
    if (!button.cancel()) pending_leave_ = {};  // the press settles the field itself
    d.PressButton(button);
  }

  INT_PTR ControlColours(TDialog& d, DialogPeer* p, HDC dc, HWND h, UINT msg) {
    TControl* c = ControlOf(d, h);
    auto* peer = c != nullptr ? dynamic_cast<ControlPeer*>(c->peer().get()) : nullptr;
    const bool own_dialog_colours = p->back != nullptr;
    if (c != nullptr && c->text_color()) {
      SetTextColor(dc, ToColorRef(*c->text_color()));
    } else if (own_dialog_colours && msg == WM_CTLCOLORSTATIC) {
      SetTextColor(dc, ToColorRef(d.text_color()));
    }
    if (peer != nullptr && peer->back != nullptr) {
      SetBkColor(dc, ToColorRef(*c->back_color()));
      return reinterpret_cast<INT_PTR>(peer->back);
    }
    if (own_dialog_colours && msg == WM_CTLCOLORSTATIC) {
      SetBkColor(dc, ToColorRef(d.back_color()));
      return reinterpret_cast<INT_PTR>(p->back);
    }
    if (c != nullptr && c->text_color()) {
      // The text colour alone: the system's background for the kind of control.
      SetBkColor(dc, GetSysColor(msg == WM_CTLCOLORSTATIC ? COLOR_BTNFACE : COLOR_WINDOW));
      return reinterpret_cast<INT_PTR>(
          GetSysColorBrush(msg == WM_CTLCOLORSTATIC ? COLOR_BTNFACE : COLOR_WINDOW));
    }
    return FALSE;
  }

  PendingLeave pending_leave_;
  bool busy_ = false;
  bool pumping_ = false;
  bool quit_requested_ = false;
  bool setting_text_ = false;
};

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lp);
    return FALSE;  // the focus is given once the dialog is placed
  }
  auto* p = reinterpret_cast<DialogPeer*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    return FALSE;
  }
  if (p == nullptr || g_backend == nullptr) return FALSE;
  return g_backend->OnDialogMessage(p, hwnd, msg, wp, lp);
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  if (g_backend == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  return g_backend->OnMainMessage(hwnd, msg, wp, lp);
}

}  // namespace

std::unique_ptr<UiBackend> MakeWin32Backend(int* /*argc*/, char** /*argv*/) {
  // No desktop to show windows on (a service, a session without one): the console.
  HWINSTA station = GetProcessWindowStation();
  USEROBJECTFLAGS flags{};
  if (station != nullptr &&
      GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), nullptr) &&
      !(flags.dwFlags & WSF_VISIBLE)) {
    return nullptr;
  }
  // Started from the desktop, the program got a console window of its own that would
  // stand empty behind its windows: it is let go. A console shared with the prompt the
  // program was started from stays, and so does its record of the boxes.
  DWORD processes[2] = {};
  if (GetConsoleWindow() != nullptr && GetConsoleProcessList(processes, 2) == 1) FreeConsole();
  return std::make_unique<Win32Backend>();
}

}  // namespace px
