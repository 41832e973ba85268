#include "ui/wx/wx_backend.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/dialog.h>
#include <wx/dirdlg.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/listbox.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

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
    long flags = wxOK | wxCENTRE;
    switch (icon) {
      case MessageIcon::kInformation:
        flags |= wxICON_INFORMATION;
        break;
      case MessageIcon::kExclamation:
        flags |= wxICON_EXCLAMATION;
        break;
      case MessageIcon::kStop:
        flags |= wxICON_ERROR;
        break;
    }
    wxMessageDialog box(ActiveNative(), ToWx(text), ToWx(caption), flags);
    box.ShowModal();
  }

  void RunWindow(TWindow& window) override {
    auto* frame =
        new wxFrame(nullptr, wxID_ANY, ToWx(window.caption()), wxPoint(window.left(), window.top()),
                    wxSize(window.width(), window.height()), FrameStyle(window.style()));
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
    auto* dlg = new wxDialog(parent, wxID_ANY, ToWx(d.caption()), wxDefaultPosition, wxDefaultSize,
                             DialogStyle(d));
    dlg->SetClientSize(d.width(), d.height());
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

    const bool parent_visible =
        parent != nullptr && parent->IsShown() &&
        !(parent->IsTopLevel() && static_cast<wxTopLevelWindow*>(parent)->IsIconized());
    if (d.centred()) {
      if (parent_visible) {
        dlg->CentreOnParent();
      } else {
        dlg->CentreOnScreen();
      }
    } else {
      wxPoint at(d.left(), d.top());
      if (parent_visible) at = parent->ClientToScreen(at);
      dlg->Move(at);
    }
    std::weak_ptr<TDialog> weak = d.weak_from_this();
    dlg->Bind(wxEVT_CLOSE_WINDOW, [weak](wxCloseEvent& ev) {
      std::shared_ptr<TDialog> self = weak.lock();
      if (self == nullptr || self->ended()) return;
      if (!self->CloseRequested() && ev.CanVeto()) ev.Veto();
    });
    dlg->CallAfter([weak] {
      if (std::shared_ptr<TDialog> self = weak.lock()) self->Shown();
    });
    if (d.modal()) {
      dlg->ShowModal();
      dlg->Destroy();
      d.peer().reset();
    } else {
      dlg->Show();
    }
  }

  void EndDialog(TDialog& d) override {
    auto* peer = dynamic_cast<WxDialogPeer*>(d.peer().get());
    if (peer == nullptr || peer->dialog == nullptr) return;
    wxDialog* dlg = peer->dialog;
    if (dlg->IsModal()) {
      dlg->EndModal(wxID_OK);
    } else {
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
        auto* text = static_cast<wxTextCtrl*>(w);
        const wxString value = ToWx(static_cast<TGet&>(c).buffer());
        if (text->GetValue() != value) text->ChangeValue(value);
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
        long st = 0;
        if (get.read_only()) st |= wxTE_READONLY;
        if (get.password()) st |= wxTE_PASSWORD;
        if (get.centred()) st |= wxTE_CENTRE;
        if (get.right()) st |= wxTE_RIGHT;
        auto* text = new wxTextCtrl(dlg, wxID_ANY, ToWx(get.buffer()), at, size, st);
        if (!get.read_only()) text->SetMaxLength(static_cast<unsigned long>(get.length()));
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
        text->Bind(wxEVT_SET_FOCUS, [weak, owner](wxFocusEvent& ev) {
          ev.Skip();
          std::shared_ptr<TControl> self = weak.lock();
          std::shared_ptr<TDialog> dialog = owner.lock();
          if (self && dialog && self->alive()) dialog->FieldEntered(static_cast<TGet&>(*self));
        });
        text->Bind(wxEVT_KILL_FOCUS, [weak, owner, text, dlg](wxFocusEvent& ev) {
          ev.Skip();
          std::shared_ptr<TControl> self = weak.lock();
          std::shared_ptr<TDialog> dialog = owner.lock();
          if (!self || !dialog || !self->alive() || dialog->ended()) return;
          // Only a move to another control of this dialog leaves the field; a button
          // press asks the field itself (TDialog::PressButton).
          wxWindow* next = ev.GetWindow();
          if (next == nullptr || next->GetParent() != dlg) return;
          if (dynamic_cast<wxButton*>(next) != nullptr) return;
          if (!dialog->FieldLeft(static_cast<TGet&>(*self))) {
            text->CallAfter([text] { text->SetFocus(); });
          }
        });
        widget = text;
        break;
      }
      case TControl::Kind::kButton: {
        auto& b = static_cast<TButton&>(*c);
        auto* button = new wxButton(dlg, wxID_ANY, ToWx(b.caption()), at, size);
        if (b.is_default()) button->SetDefault();
        if (!b.enabled()) button->Disable();
        button->Bind(wxEVT_BUTTON, [weak, owner](wxCommandEvent&) {
          std::shared_ptr<TControl> self = weak.lock();
          std::shared_ptr<TDialog> dialog = owner.lock();
          if (self && dialog && self->alive()) dialog->PressButton(static_cast<TButton&>(*self));
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
    if (c->font() != nullptr && c->font() != d.font()) widget->SetFont(ToFont(*c->font()));
    if (c->text_color()) widget->SetForegroundColour(ToColour(*c->text_color()));
    if (c->back_color()) widget->SetBackgroundColour(ToColour(*c->back_color()));
    auto peer = std::make_unique<WxControlPeer>();
    peer->widget = widget;
    c->peer() = std::move(peer);
  }

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
