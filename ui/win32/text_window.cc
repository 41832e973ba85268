#include "ui/win32/text_window.h"

#include "runtime/win32_text.h"
#include "ui/win32/dialog_template.h"

#include <windows.h>

namespace px::win32 {

namespace {

constexpr int kTextId = 100;
constexpr int kClientWidth = 640, kClientHeight = 440;
constexpr int kButtonWidth = 80, kButtonHeight = 26, kMargin = 8;

struct TextWindowState {
  std::wstring text;
  HFONT font = nullptr;
};

// The text box fills the window above the button row; the button sits centred below.
void Layout(HWND dlg) {
  RECT r;
  GetClientRect(dlg, &r);
  const int w = r.right, h = r.bottom;
  MoveWindow(GetDlgItem(dlg, kTextId), kMargin, kMargin, w - 2 * kMargin,
             h - 3 * kMargin - kButtonHeight, TRUE);
  MoveWindow(GetDlgItem(dlg, IDOK), (w - kButtonWidth) / 2, h - kMargin - kButtonHeight,
             kButtonWidth, kButtonHeight, TRUE);
}

INT_PTR CALLBACK TextWindowProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<TextWindowState*>(lp);
      HWND text = GetDlgItem(dlg, kTextId);
      state->font = CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                FIXED_PITCH | FF_MODERN, L"Courier New");
      SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
      SendMessageW(text, EM_SETLIMITTEXT, 0, 0);  // as long as memory allows
      SetWindowTextW(text, state->text.c_str());
      RECT r{0, 0, kClientWidth, kClientHeight};
      AdjustWindowRectEx(&r, GetWindowLongW(dlg, GWL_STYLE), FALSE,
                         GetWindowLongW(dlg, GWL_EXSTYLE));
      const int w = r.right - r.left, h = r.bottom - r.top;
      MONITORINFO info{};
      info.cbSize = sizeof(info);
      GetMonitorInfoW(MonitorFromWindow(dlg, MONITOR_DEFAULTTOPRIMARY), &info);
      const RECT& area = info.rcWork;
      SetWindowPos(dlg, nullptr, area.left + (area.right - area.left - w) / 2,
                   area.top + (area.bottom - area.top - h) / 2, w, h, SWP_NOZORDER);
      Layout(dlg);
      SetFocus(GetDlgItem(dlg, IDOK));
      return FALSE;
    }
    case WM_SIZE:
      Layout(dlg);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, IDOK);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

// Line ends as the edit box wants them: carriage return and line feed.
std::wstring WithCrLf(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out.push_back(L'\r');
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

void ShowTextWindow(void* owner, const std::string& caption, const std::string& text) {
  TextWindowState state;
  state.text = WithCrLf(WideFromAnsi(text));
  DialogUnits units;  // the sizes are set in pixels once the window exists
  DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME | DS_SETFONT,
                   WS_EX_DLGMODALFRAME, kClientWidth, kClientHeight, WideFromAnsi(caption),
                   TemplateFont{}, units);
  TemplateItem box;
  box.control_class = kEditClass;
  box.style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP |
              ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL;
  box.id = kTextId;
  t.Add(box);
  TemplateItem close;
  close.control_class = kButtonClass;
  close.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
  close.id = IDOK;
  close.text = L"&Close";
  t.Add(close);
  DialogBoxIndirectParamW(GetModuleHandleW(nullptr), static_cast<LPCDLGTEMPLATEW>(t.data()),
                          static_cast<HWND>(owner), TextWindowProc,
                          reinterpret_cast<LPARAM>(&state));
  if (state.font != nullptr) DeleteObject(state.font);
}

}  // namespace px::win32
