#include "ui/wx/wx_backend.h"

#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/dialog.h>
#include <wx/dirdlg.h>
#include <wx/display.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/listbox.h>
#include <wx/log.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "ui/button.h"
#include "ui/dialog.h"
#include "ui/get.h"
#include "ui/list_box.h"
#include "ui/say.h"
#include "ui/style.h"
#include "ui/ui_state.h"
#include "ui/window.h"

namespace px {

namespace {

class PxApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};

class WxWindowPeer : public Peer {
 public:
  wxFrame* frame = nullptr;
};

class WxDialogPeer : public Peer {
 public:
  wxDialog* dialog = nullptr;
};

class WxControlPeer : public Peer {
 public:
  wxWindow* widget = nullptr;
};

wxString ToWx(const std::string& s) {
  return wxString::FromUTF8(s.c_str());
}

std::string FromWx(const wxString& s) {
  return std::string(s.utf8_str());
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

wxColour ToColour(Rgb c) {
  return wxColour(static_cast<unsigned char>(RedOf(c)), static_cast<unsigned char>(GreenOf(c)),
                  static_cast<unsigned char>(BlueOf(c)));
}

wxFont ToFont(const TFont& font) {
  const TFontArgs& a = font.args();
  const int height = font.pixel_height() > 0 ? font.pixel_height() : 12;
  wxFontInfo info(wxSize(a.width, height));
  info.FaceName(ToWx(a.face)).Italic(a.italic).Underlined(a.underline).Strikethrough(a.strike_out);
  info.Weight(font.weight());
  return wxFont(info);
}

wxWindow* NativeOf(Object* object) {
  if (auto* w = dynamic_cast<TWindow*>(object)) {
    auto* peer = dynamic_cast<WxWindowPeer*>(w->peer().get());
    return peer != nullptr ? peer->frame : nullptr;
  }
  if (auto* d = dynamic_cast<TDialog*>(object)) {
    auto* peer = dynamic_cast<WxDialogPeer*>(d->peer().get());
    return peer != nullptr ? peer->dialog : nullptr;
  }
  return nullptr;
}

wxWindow* WidgetOf(TControl& c) {
  auto* peer = dynamic_cast<WxControlPeer*>(c.peer().get());
  return peer != nullptr ? peer->widget : nullptr;
}

// The window new boxes and dialogs belong to: the top dialog, else the main window.
wxWindow* ActiveNative(const TDialog* except = nullptr) {
  const UiState& ui = GetUiState();
  for (auto it = ui.open_dialogs.rbegin(); it != ui.open_dialogs.rend(); ++it) {
    if (*it == except) continue;
    if (wxWindow* w = NativeOf(*it)) return w;
  }
  return ui.main_window != nullptr ? NativeOf(ui.main_window) : nullptr;
}

// A window the user can see: shown and not minimised. The main window never counts:
// it is a minimised stand-in of one cell, which a window manager may bring back when
// a window closes, and nothing is placed by it.
bool VisibleOnScreen(wxWindow* w) {
  if (w == nullptr || !w->IsShown()) return false;
  if (TWindow* main = GetUiState().main_window; main != nullptr && NativeOf(main) == w) {
    return false;
  }
  wxWindow* top = wxGetTopLevelParent(w);
  return top == nullptr || !static_cast<wxTopLevelWindow*>(top)->IsIconized();
}

// Centres a top-level window over its parent when that one can be seen, else on the
// screen it is on (the first screen when it is on none yet).
void CentreWindow(wxTopLevelWindow* w) {
  wxWindow* parent = w->GetParent();
  if (VisibleOnScreen(parent)) {
    w->CentreOnParent();
    return;
  }
  int screen = wxDisplay::GetFromWindow(w);
  if (screen == wxNOT_FOUND) screen = 0;
  const wxRect area = wxDisplay(static_cast<unsigned>(screen)).GetClientArea();
  const wxSize size = w->GetSize();
  w->Move(area.x + (area.width - size.x) / 2, area.y + (area.height - size.y) / 2);
}

// Takes the window system's paint and layout events, but no input, for a while.
void RepaintPending() {
  if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) {
    loop->YieldFor(wxEVT_CATEGORY_UI);
    return;
  }
  // A window shown before any event loop runs (a program without a main window).
  wxGUIEventLoop loop;
  wxEventLoopActivator active(&loop);
  loop.YieldFor(wxEVT_CATEGORY_UI);
}

// Waits, at most about two seconds, until the dialog has been mapped and drawn, so that
// the work that follows its appearance runs with its texts on the screen.
void WaitUntilPainted(wxDialog* dlg, const bool& painted) {
  for (int i = 0; i < 100 && !(painted && dlg->IsShownOnScreen()); ++i) {
    RepaintPending();
    if (painted && dlg->IsShownOnScreen()) break;
    wxMilliSleep(20);
  }
  // The children are drawn in the same pass as the dialog; one more round lets the
  // server show the result.
  dlg->Update();
  RepaintPending();
}

TControl* ControlOf(TDialog& d, wxWindow* widget) {
  for (const std::shared_ptr<TControl>& c : d.controls()) {
    if (WidgetOf(*c) == widget) return c.get();
  }
  return nullptr;
}

TGet* FirstEditableField(TDialog& d) {
  for (const std::shared_ptr<TControl>& c : d.controls()) {
    if (c->kind() != TControl::Kind::kGet) continue;
    auto* get = static_cast<TGet*>(c.get());
    if (!get->read_only() && get->enabled() && WidgetOf(*get) != nullptr) return get;
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

wxArtID ArtOf(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation:
      return wxART_INFORMATION;
    case MessageIcon::kExclamation:
      return wxART_WARNING;
    case MessageIcon::kStop:
      break;
  }
  return wxART_ERROR;
}

// A modal box: icon, text and one button (OK) or a close button, laid out by sizers and
// centred; Enter and Escape close it.
void RunBox(wxWindow* parent, const wxString& caption, MessageIcon* icon, const wxString& text,
            bool monospace) {
  long style = wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | (monospace ? wxRESIZE_BORDER : 0);
  // Shown while only the minimised main window is there, the box stands on its own
  // (see RunDialog).
  if (!VisibleOnScreen(parent)) {
    parent = nullptr;
    style |= wxDIALOG_NO_PARENT;
  }
  wxDialog box(parent, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize, style);
  auto* rows = new wxBoxSizer(wxVERTICAL);
  auto* line = new wxBoxSizer(wxHORIZONTAL);
  if (icon != nullptr) {
    wxBitmap art = wxArtProvider::GetBitmap(ArtOf(*icon), wxART_MESSAGE_BOX, wxSize(48, 48));
    if (art.IsOk()) line->Add(new wxStaticBitmap(&box, wxID_ANY, art), 0, wxALL, 12);
  }
  if (monospace) {
    auto* view = new wxTextCtrl(&box, wxID_ANY, text, wxDefaultPosition, wxSize(640, 400),
                                wxTE_MULTILINE | wxTE_READONLY | wxHSCROLL | wxTE_DONTWRAP);
    view->SetFont(wxFontInfo(9).Family(wxFONTFAMILY_TELETYPE));
    line->Add(view, 1, wxEXPAND | wxALL, 8);
  } else {
    auto* label = new wxStaticText(&box, wxID_ANY, wxEmptyString);
    label->SetLabelText(text);  // an "&" in a message is shown, not taken as a mnemonic
    label->Wrap(480);
    line->Add(label, 1, wxALIGN_CENTRE_VERTICAL | wxTOP | wxBOTTOM | wxRIGHT, 16);
  }
  rows->Add(line, 1, wxEXPAND);
  auto* ok = new wxButton(&box, wxID_OK, monospace ? "&Close" : "&OK");
  ok->SetDefault();
  rows->Add(ok, 0, wxALIGN_CENTRE | wxBOTTOM, 10);
  box.SetSizerAndFit(rows);
  if (box.GetSize().x < 240) box.SetSize(240, box.GetSize().y);
  box.SetEscapeId(wxID_OK);
  box.SetAffirmativeId(wxID_OK);
  CentreWindow(&box);
  ok->SetFocus();
  // Once more when it is up: the size the toolkit settles on may differ from the one
  // the layout asked for.
  box.CallAfter([&box] { CentreWindow(&box); });
  box.ShowModal();
}

long FrameStyle(uint32_t s) {
  long out = wxCLIP_CHILDREN;
  if ((s & style::kCaption) == style::kCaption) out |= wxCAPTION;
  if (s & style::kSysMenu) out |= wxSYSTEM_MENU | wxCLOSE_BOX;
  if (s & style::kMinimizeBox) out |= wxMINIMIZE_BOX;
  if (s & style::kMaximizeBox) out |= wxMAXIMIZE_BOX;
  if (s & style::kThickFrame) out |= wxRESIZE_BORDER;
  if ((s & style::kCaption) != style::kCaption && (s & style::kPopup)) out |= wxBORDER_NONE;
  if (s & style::kVScroll) out |= wxVSCROLL;
  if (s & style::kHScroll) out |= wxHSCROLL;
  return out;
}

long DialogStyle(const TDialog& d) {
  long out = 0;
  if (d.has_title_bar()) out |= wxCAPTION;
  if (d.style() & style::kSysMenu) out |= wxSYSTEM_MENU | wxCLOSE_BOX;
  if (!d.has_title_bar()) out |= wxBORDER_RAISED;
  if (d.style() & style::kThickFrame) out |= wxRESIZE_BORDER;
  return out;
}

class WxBackend : public UiBackend {
 public:
  ~WxBackend() override = default;

  void MessageBox(MessageIcon icon, const std::string& text, const std::string& caption) override {
    // What the user is told also goes to standard output, one line as on the console,
    // so that a run leaves a record of it.
    std::printf("[%s] %s\n", OneLine(caption).c_str(), OneLine(text).c_str());
    std::fflush(stdout);
    RunBox(ActiveNative(), ToWx(caption), &icon, ToWx(text), false);
  }

  void ShowText(const std::string& caption, const std::string& text) override {
    RunBox(ActiveNative(), ToWx(caption), nullptr, ToWx(text), true);
  }

  void Repaint() override {
    if (wxTheApp != nullptr) RepaintPending();
  }

  void RunWindow(TWindow& window) override {
    auto* frame =
        new wxFrame(nullptr, wxID_ANY, ToWx(window.caption()), wxPoint(window.left(), window.top()),
                    wxDefaultSize, FrameStyle(window.style()));
    // The size is the client area's: given as the whole window's, a window smaller than
    // its frame (the installer's main window is one cell) asks the toolkit for a
    // negative client area.
    frame->SetClientSize(std::max(window.width(), 1), std::max(window.height(), 1));
    auto peer = std::make_unique<WxWindowPeer>();
    peer->frame = frame;
    window.peer() = std::move(peer);
    frame->Bind(wxEVT_CLOSE_WINDOW, [this, &window, frame](wxCloseEvent& ev) {
      if (ev.CanVeto() && !window.closed()) {
        if (pumping_) {
          // Seen while pumping: SYSREFRESH reports it and posts it again.
          quit_requested_ = true;
          ev.Veto();
          return;
        }
        if (!window.CloseRequested()) {
          ev.Veto();
          return;
        }
      }
      Finish(window, frame);
    });
    frame->Show();
    if (window.iconized()) frame->Iconize(true);
    frame->CallAfter([&window] { window.Shown(); });
    if (!window.closed()) wxTheApp->OnRun();
    window.peer().reset();
  }

  void CloseWindow(TWindow& window) override {
    auto* peer = dynamic_cast<WxWindowPeer*>(window.peer().get());
    if (peer == nullptr || peer->frame == nullptr) return;
    Finish(window, peer->frame);
  }

  void IconizeWindow(TWindow& window) override {
    auto* peer = dynamic_cast<WxWindowPeer*>(window.peer().get());
    if (peer != nullptr && peer->frame != nullptr) peer->frame->Iconize(true);
  }

  void RunDialog(TDialog& d) override {
    wxWindow* parent = d.owner() != nullptr ? NativeOf(d.owner()) : ActiveNative(&d);
    // A dialog owned by a window that cannot be seen (the minimised main window) stands
    // on its own: tied to it, a window manager may place it by that window or hide it
    // along with it.
    long no_parent = 0;
    if (!VisibleOnScreen(parent)) {
      parent = nullptr;
      no_parent = wxDIALOG_NO_PARENT;
    }
    auto* dlg = new wxDialog(parent, wxID_ANY, ToWx(d.caption()), wxDefaultPosition, wxDefaultSize,
                             DialogStyle(d) | no_parent);
    dlg->SetClientSize(d.width(), d.height());
    // A dialog without a sizing frame keeps its size; a window manager then offers no
    // maximise button, which leaves the caption more room.
    if (!(d.style() & style::kThickFrame)) dlg->SetSizeHints(dlg->GetSize(), dlg->GetSize());
    if (d.font() != nullptr) dlg->SetFont(ToFont(*d.font()));
    // A dialog given colours of its own (the green index rebuild window) is drawn in
    // them; the others keep the toolkit's.
    if (d.back_color() != SystemColor(kColorButtonFace)) {
      dlg->SetBackgroundColour(ToColour(d.back_color()));
      dlg->SetForegroundColour(ToColour(d.text_color()));
    }
    auto peer = std::make_unique<WxDialogPeer>();
    peer->dialog = dlg;
    d.peer() = std::move(peer);
    for (const std::shared_ptr<TControl>& c : d.controls()) CreateControl(d, dlg, c);

    // Every control sits where the dialog put it: the toolkit's habit of stretching a
    // window's only child over the whole window is not wanted.
    dlg->Bind(wxEVT_SIZE, [](wxSizeEvent&) {});
    // Set once the dialog has been drawn on the screen.
    auto painted = std::make_shared<bool>(false);
    dlg->Bind(wxEVT_PAINT, [painted](wxPaintEvent& ev) {
      *painted = true;
      ev.Skip();
    });
    std::weak_ptr<TDialog> weak = d.weak_from_this();
    dlg->Bind(wxEVT_CLOSE_WINDOW, [weak](wxCloseEvent& ev) {
      std::shared_ptr<TDialog> self = weak.lock();
      if (self == nullptr || self->ended()) return;
      if (!self->CloseRequested() && ev.CanVeto()) ev.Veto();
    });
    dlg->Bind(wxEVT_CHAR_HOOK, [this, weak](wxKeyEvent& ev) { OnDialogKey(weak, ev); });

    const bool centred = d.centred();
    if (centred) {
      CentreWindow(dlg);
    } else {
      wxPoint at(d.left(), d.top());
      if (VisibleOnScreen(parent)) at = parent->ClientToScreen(at);
      dlg->Move(at);
    }
    // Once the dialog is on the screen with its texts drawn: a window manager may have
    // placed it elsewhere, the focus goes to the first field that can be edited, and
    // only then does the init action (which may be long work) run.
    auto up = [weak, dlg, painted, centred] {
      std::shared_ptr<TDialog> self = weak.lock();
      if (self == nullptr || self->ended()) return;
      WaitUntilPainted(dlg, *painted);
      if (self->ended()) return;
      if (centred) CentreWindow(dlg);
      if (TGet* first = FirstEditableField(*self)) {
        if (wxWindow* w = WidgetOf(*first)) {
          w->SetFocus();
          if (auto* text = dynamic_cast<wxTextCtrl*>(w)) text->SelectAll();
        }
        self->FieldEntered(*first);
      } else if (TButton* button = DefaultButton(*self)) {
        // Nothing to type in (the error dialog): Enter answers with the default choice.
        if (wxWindow* w = WidgetOf(*button)) w->SetFocus();
      }
      self->Shown();
    };
    if (d.modal()) {
      dlg->CallAfter(up);
      dlg->ShowModal();
      ForgetDialog(dlg);
      dlg->Destroy();
      d.peer().reset();
    } else {
      dlg->Show();
      up();
    }
  }

  void EndDialog(TDialog& d) override {
    auto* peer = dynamic_cast<WxDialogPeer*>(d.peer().get());
    if (peer == nullptr || peer->dialog == nullptr) return;
    wxDialog* dlg = peer->dialog;
    if (dlg->IsModal()) {
      dlg->EndModal(wxID_OK);
    } else {
      ForgetDialog(dlg);
      dlg->Hide();
      dlg->Destroy();
      d.peer().reset();
    }
  }

  void RefreshControl(TControl& c) override {
    wxWindow* w = WidgetOf(c);
    if (w == nullptr) return;
    switch (c.kind()) {
      case TControl::Kind::kSay:
        static_cast<wxStaticText*>(w)->SetLabel(ToWx(static_cast<TSay&>(c).text()));
        break;
      case TControl::Kind::kGet: {
        const wxString value = ToWx(static_cast<TGet&>(c).buffer());
        if (auto* text = dynamic_cast<wxTextCtrl*>(w)) {
          if (text->GetValue() != value) text->ChangeValue(value);
        } else if (auto* label = dynamic_cast<wxStaticText*>(w)) {
          if (label->GetLabel() != value) label->SetLabelText(value);
        }
        break;
      }
      default:
        break;
    }
    w->Refresh();
  }

  void FocusControl(TControl& c) override {
    if (wxWindow* w = WidgetOf(c)) w->CallAfter([w] { w->SetFocus(); });
  }

  void SetCursor(CursorShape shape) override {
    if (shape == CursorShape::kWait && !busy_) {
      wxBeginBusyCursor();
      busy_ = true;
    } else if (shape == CursorShape::kArrow && busy_) {
      wxEndBusyCursor();
      busy_ = false;
    }
  }

  bool PumpMessages() override {
    if (wxTheApp == nullptr) return true;
    pumping_ = true;
    wxTheApp->Yield(true);
    pumping_ = false;
    if (!quit_requested_) return true;
    quit_requested_ = false;
    if (TWindow* main = GetUiState().main_window) {
      if (wxWindow* frame = NativeOf(main)) frame->CallAfter([frame] { frame->Close(); });
    }
    return false;
  }

  std::string ChooseFolder(const std::string& title, const std::string& start_folder) override {
    wxDirDialog chooser(ActiveNative(), ToWx(title.empty() ? "Choose a folder" : title),
                        ToWx(start_folder), wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (chooser.ShowModal() != wxID_OK) return "";
    return FromWx(chooser.GetPath());
  }

  int64_t ActiveWindowHandle() override {
    wxWindow* w = ActiveNative();
    return w != nullptr ? static_cast<int64_t>(reinterpret_cast<intptr_t>(w->GetHandle())) : 0;
  }

  bool SaveImage(TDialog& d, const std::string& png_path) override {
    wxWindow* w = NativeOf(&d);
    if (w == nullptr) return false;
    // A window shown a moment ago may not be on the screen yet (the X server maps it
    // and sends its first paint later): wait for it, at most about a second, so that
    // the picture holds the window and not what was there before.
    for (int i = 0; i < 50 && !w->IsShownOnScreen(); ++i) {
      wxTheApp->Yield(true);
      wxMilliSleep(20);
    }
    w->Refresh();
    w->Update();
    for (int i = 0; i < 25; ++i) {
      wxTheApp->Yield(true);
      wxMilliSleep(20);
    }
    const wxSize size = w->GetClientSize();
    wxBitmap bitmap(size.x, size.y);
    {
      // The window's own pixels; the screen's would miss a pop-up window on servers
      // without a window manager.
      wxClientDC client(w);
      wxMemoryDC memory(bitmap);
      memory.Blit(0, 0, size.x, size.y, &client, 0, 0);
    }
    if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) wxImage::AddHandler(new wxPNGHandler);
    return bitmap.SaveFile(ToWx(png_path), wxBITMAP_TYPE_PNG);
  }

  void Shutdown() override {
    if (busy_) {
      wxEndBusyCursor();
      busy_ = false;
    }
    for (wxWindow* w : wxTopLevelWindows) w->Hide();
  }

 private:
  // Destroys the main window and everything left open, so that the event loop ends.
  void Finish(TWindow& window, wxFrame* frame) {
    auto* peer = dynamic_cast<WxWindowPeer*>(window.peer().get());
    if (peer != nullptr) peer->frame = nullptr;
    for (wxWindow* w : wxTopLevelWindows) {
      if (w != frame) w->Hide();
    }
    frame->Destroy();
    if (wxTheApp->IsMainLoopRunning()) wxTheApp->ExitMainLoop();
  }

  void CreateControl(TDialog& d, wxDialog* dlg, const std::shared_ptr<TControl>& c) {
    const wxPoint at(c->left(), c->top());
    const wxSize size(c->width(), c->height());
    std::weak_ptr<TControl> weak = c;
    std::weak_ptr<TDialog> owner = d.weak_from_this();
    wxWindow* widget = nullptr;
    switch (c->kind()) {
      case TControl::Kind::kSay: {
        auto& say = static_cast<TSay&>(*c);
        long st = wxST_NO_AUTORESIZE;
        st |= say.centred() ? wxALIGN_CENTRE_HORIZONTAL
              : say.right() ? wxALIGN_RIGHT
                            : wxALIGN_LEFT;
        if (say.border()) st |= wxBORDER_SIMPLE;
        widget = new wxStaticText(dlg, wxID_ANY, ToWx(say.text()), at, size, st);
        break;
      }
      case TControl::Kind::kGet: {
        auto& get = static_cast<TGet&>(*c);
        if (ShownAsText(d, get)) {
          long st = wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END;
          st |= get.centred() ? wxALIGN_CENTRE_HORIZONTAL
                : get.right() ? wxALIGN_RIGHT
                              : wxALIGN_LEFT;
          auto* label = new wxStaticText(dlg, wxID_ANY, wxEmptyString, at, size, st);
          label->SetLabelText(ToWx(get.buffer()));
          widget = label;
          break;
        }
        long st = 0;
        if (get.read_only()) st |= wxTE_READONLY;
        if (get.password()) st |= wxTE_PASSWORD;
        if (get.centred()) st |= wxTE_CENTRE;
        if (get.right()) st |= wxTE_RIGHT;
        auto* text = new wxTextCtrl(dlg, wxID_ANY, ToWx(get.buffer()), at, size, st);
        if (get.read_only()) {
          // Drawn on the dialog's face, so that it does not look like a field to type in.
          text->SetBackgroundColour(dlg->GetBackgroundColour());
        } else {
          text->SetMaxLength(static_cast<unsigned long>(get.length()));
        }
        if (!get.enabled()) text->Disable();
        text->Bind(wxEVT_TEXT, [weak, text](wxCommandEvent&) {
          std::shared_ptr<TControl> self = weak.lock();
          if (self == nullptr || !self->alive()) return;
          const std::string typed = FromWx(text->GetValue());
          const std::string shown = static_cast<TGet&>(*self).Edit(typed);
          if (shown != typed) {
            const long at_pos = text->GetInsertionPoint();
            text->ChangeValue(ToWx(shown));
            text->SetInsertionPoint(at_pos);
          }
        });
        // Where the focus goes is often not told (GTK gives no window for Tab or a mouse
        // click): the field is settled when the next control takes the focus
        // (FocusGained), or by the button that is pressed.
        text->Bind(wxEVT_KILL_FOCUS, [this, weak, owner, text](wxFocusEvent& ev) {
          ev.Skip();
          std::shared_ptr<TControl> self = weak.lock();
          std::shared_ptr<TDialog> dialog = owner.lock();
          if (!self || !dialog || !self->alive() || dialog->ended()) return;
          auto& field = static_cast<TGet&>(*self);
          // Only the field the user is in is left: a field that loses the focus because
          // another one's check sent it back there was never entered.
          if (field.read_only() || dialog->focus() != &field) return;
          pending_leave_ = {owner, weak, text};
        });
        widget = text;
        break;
      }
      case TControl::Kind::kButton: {
        auto& b = static_cast<TButton&>(*c);
        auto* button = new wxButton(dlg, wxID_ANY, ToWx(b.caption()), at, size);
        if (b.is_default()) button->SetDefault();
        if (!b.enabled()) button->Disable();
        button->Bind(wxEVT_BUTTON, [this, weak, owner](wxCommandEvent&) {
          std::shared_ptr<TControl> self = weak.lock();
          std::shared_ptr<TDialog> dialog = owner.lock();
          if (self && dialog && self->alive()) {
            Press(*dialog, static_cast<TButton&>(*self));
          }
        });
        widget = button;
        break;
      }
      case TControl::Kind::kListBox: {
        auto& list = static_cast<TListBox&>(*c);
        wxArrayString items;
        for (const std::string& item : list.items()) items.Add(ToWx(item));
        auto* box = new wxListBox(dlg, wxID_ANY, at, size, items, wxLB_SINGLE);
        if (list.selected() > 0) box->SetSelection(list.selected() - 1);
        box->Bind(wxEVT_LISTBOX, [weak, box](wxCommandEvent&) {
          if (std::shared_ptr<TControl> self = weak.lock()) {
            static_cast<TListBox&>(*self).Select(box->GetSelection() + 1);
          }
        });
        widget = box;
        break;
      }
    }
    widget->Bind(wxEVT_SET_FOCUS, [this, weak, owner, widget](wxFocusEvent& ev) {
      ev.Skip();
      FocusGained(owner, weak, widget);
    });
    if (c->font() != nullptr && c->font() != d.font()) widget->SetFont(ToFont(*c->font()));
    if (c->text_color()) widget->SetForegroundColour(ToColour(*c->text_color()));
    if (c->back_color()) widget->SetBackgroundColour(ToColour(*c->back_color()));
    auto peer = std::make_unique<WxControlPeer>();
    peer->widget = widget;
    c->peer() = std::move(peer);
  }

  // A field the focus has left whose value has not yet been stored and checked.
  struct PendingLeave {
    std::weak_ptr<TDialog> dialog;
    std::weak_ptr<TControl> field;
    wxWindow* widget = nullptr;
  };

  // A control of a dialog took the focus. The field left before it is stored and
  // checked now, whatever way it was left (Tab, Shift+Tab, a click, an accelerator);
  // when its check refuses, the focus goes back to it. A button that runs without
  // asking the field (Cancel, Browse) leaves the field unsettled until the focus moves
  // on or a button that asks it is pressed.
  void FocusGained(const std::weak_ptr<TDialog>& owner, const std::weak_ptr<TControl>& gained,
                   wxWindow* widget) {
    std::shared_ptr<TDialog> dialog = owner.lock();
    std::shared_ptr<TControl> control = gained.lock();
    if (!dialog || !control || !control->alive() || dialog->ended()) return;
    if (pending_leave_.widget != nullptr && pending_leave_.widget != widget) {
      const bool to_cancel =
          control->kind() == TControl::Kind::kButton && static_cast<TButton&>(*control).cancel();
      std::shared_ptr<TDialog> left_dialog = pending_leave_.dialog.lock();
      std::shared_ptr<TControl> left = pending_leave_.field.lock();
      if (left_dialog == dialog && left && left->alive() && !to_cancel) {
        wxWindow* left_widget = pending_leave_.widget;
        pending_leave_ = {};
        if (!dialog->FieldLeft(static_cast<TGet&>(*left))) {
          left_widget->CallAfter([left, left_widget] {
            if (left->alive()) left_widget->SetFocus();
          });
          return;
        }
      } else if (left_dialog != dialog || !left || !left->alive()) {
        pending_leave_ = {};
      }
    } else if (pending_leave_.widget == widget) {
      pending_leave_ = {};  // back in the field it left: nothing was left
    }
    if (control->kind() == TControl::Kind::kGet) {
      dialog->FieldEntered(static_cast<TGet&>(*control));
    }
  }

  // Enter presses the button that has the focus, else the default button; Escape
  // presses Cancel, else closes the dialog as its close box does. A window without
  // buttons (a progress or wait window) is not closed from the keyboard.
  void OnDialogKey(const std::weak_ptr<TDialog>& weak, wxKeyEvent& ev) {
    std::shared_ptr<TDialog> d = weak.lock();
    const int key = ev.GetKeyCode();
    if (!d || d->ended() || ev.HasAnyModifiers()) {
      ev.Skip();
      return;
    }
    if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER) {
      TControl* focused = ControlOf(*d, wxWindow::FindFocus());
      TButton* button = focused != nullptr && focused->kind() == TControl::Kind::kButton
                            ? static_cast<TButton*>(focused)
                            : DefaultButton(*d);
      if (button == nullptr) {
        ev.Skip();
        return;
      }
      Press(*d, *button);
      return;
    }
    if (key == WXK_ESCAPE) {
      if (TButton* cancel = d->FindButton("Cancel")) {
        Press(*d, *cancel);
      } else if (HasButtons(*d)) {
        d->CloseRequested();
      }
      return;
    }
    ev.Skip();
  }

  void Press(TDialog& d, TButton& button) {
    if (!button.cancel()) pending_leave_ = {};  // the press settles the field itself
    d.PressButton(button);
  }

  // A dialog's native window is going: nothing may point into it any more.
  void ForgetDialog(wxDialog* dlg) {
    if (pending_leave_.widget != nullptr && pending_leave_.widget->GetParent() == dlg) {
      pending_leave_ = {};
    }
  }

  PendingLeave pending_leave_;
  bool busy_ = false;
  bool pumping_ = false;
  bool quit_requested_ = false;
};

}  // namespace

std::unique_ptr<UiBackend> MakeWxBackend(int* argc, char** argv) {
  wxApp::SetInstance(new PxApp());
  if (!wxEntryStart(*argc, argv)) return nullptr;
  if (!wxTheApp->CallOnInit()) {
    wxEntryCleanup();
    return nullptr;
  }
  // The toolkit's debug chatter is not for the user.
  wxLog::SetLogLevel(wxLOG_Warning);
  return std::make_unique<WxBackend>();
}

}  // namespace px
