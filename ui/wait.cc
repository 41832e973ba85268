#include "ui/wait.h"

#include <algorithm>

#include "runtime/env.h"
#include "ui/backend.h"
#include "ui/dialog.h"
#include "ui/messages.h"
#include "ui/say.h"
#include "ui/style.h"

namespace px {

void WAITSECONDS(double n) {
  Env* env = GetEnv();
  const int64_t start = env->NowMicros();
  const int64_t span = static_cast<int64_t>(n * 1000) * 1000;
  // Sleeping in short steps instead of spinning keeps the processor free; each step
  // goes through the clock, so a test clock finishes at once. No input is taken
  // meanwhile, but a box that is up stays painted.
  UiBackend& ui = GetUiBackend();
  for (;;) {
    const int64_t left = span - (env->NowMicros() - start);
    if (left <= 0) break;
    env->SleepMicros(std::min<int64_t>(left, 10000));
    ui.Repaint();
  }
}

void MSGRUN(const Value& text, const Value& caption, std::function<void(TDialog&)> action) {
  const std::string shown = text.is_string() ? text.str() : std::string("Please, wait...");
  const bool has_caption = caption.is_string();
  TDialogArgs a;
  a.top = 0;
  a.left = 0;
  if (has_caption) {
    a.caption = caption.str();
    a.bottom = 4;
    a.right = static_cast<double>(std::max(shown.size(), a.caption.size()) + 4);
    a.style = style::kModalFrame;
    // A modal frame alone still carries the caption bar that holds the caption.
    a.style |= style::kCaption;
  } else {
    a.bottom = 3;
    a.right = static_cast<double>(shown.size() + 4);
    a.style = style::kPopup | style::kModalFrame;
  }
  std::shared_ptr<TDialog> dialog = TDialog::New(a);
  TSayArgs say;
  say.row = 1;
  say.col = 0;
  say.text = ConstText(shown);
  say.owner = dialog.get();
  say.centred = true;
  say.width = dialog->width();
  // Room for the letters that reach below the line.
  say.height = 18;
  TSay::New(say);
  if (!action) action = [](TDialog&) { WAITSECONDS(1); };
  TDialogActivateArgs act;
  act.centred = true;
  act.on_init = [&action](TDialog& d) {
    action(d);
    d.End();
  };
  dialog->Activate(act);
  SYSREFRESH();
}

void MSGWAIT(const Value& text, const Value& caption, const Value& seconds) {
  const double n = seconds.is_number() ? seconds.number() : 4;
  MSGRUN(text, caption, [n](TDialog&) { WAITSECONDS(n); });
}

}  // namespace px
