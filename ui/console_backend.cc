#include "ui/console_backend.h"

#include <cstdlib>
#include <iostream>

#include "runtime/terminal.h"
#include "ui/button.h"
#include "ui/dialog.h"
#include "ui/get.h"
#include "ui/list_box.h"
#include "ui/say.h"
#include "ui/window.h"

namespace px {

namespace {

// What the console remembers of a control: the text it last wrote for it.
class ConsolePeer : public Peer {
 public:
  std::string last_text;
};

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The text a control shows, or nothing for controls without a text of their own.
std::optional<std::string> ShownText(const TControl& c) {
  if (c.kind() == TControl::Kind::kSay) {
    return CaptionLabel(static_cast<const TSay&>(c).text());
  }
  if (c.kind() == TControl::Kind::kGet) {
    const auto& get = static_cast<const TGet&>(c);
    if (get.read_only()) return Trimmed(get.buffer());
  }
  return std::nullopt;
}

std::vector<TGet*> EditableFields(const TDialog& dialog) {
  std::vector<TGet*> fields;
  for (const auto& c : dialog.controls()) {
    if (c->kind() != TControl::Kind::kGet) continue;
    auto* get = static_cast<TGet*>(c.get());
    if (!get->read_only() && get->enabled()) fields.push_back(get);
  }
  return fields;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return s;
}

}  // namespace

ConsoleBackend::ConsoleBackend() : out_(&std::cout), in_(nullptr) {
  if (StandardInputIsTerminal()) in_ = &std::cin;
  if (const char* from = std::getenv("PX_UPDATE_FROM")) update_from_ = from;
}

ConsoleBackend::ConsoleBackend(Options options)
    : out_(options.out != nullptr ? options.out : &std::cout),
      in_(options.in),
      update_from_(std::move(options.update_from)) {}

void ConsoleBackend::Line(const std::string& caption, const std::string& text) {
  if (caption.empty()) {
    *out_ << OneLine(text) << '\n';
  } else {
    *out_ << '[' << OneLine(caption) << "] " << OneLine(text) << '\n';
  }
  out_->flush();
}

void ConsoleBackend::MessageBox(MessageIcon, const std::string& text, const std::string& caption) {
  Line(caption, text);
}

void ConsoleBackend::RunWindow(TWindow& window) {
  if (!window.caption().empty()) Line(window.caption(), "");
  window.Shown();
  // A console has no events of its own: once the init action has returned, nothing
  // more can happen in the window, so its loop ends.
}

void ConsoleBackend::CloseWindow(TWindow&) {}
void ConsoleBackend::IconizeWindow(TWindow&) {}

void ConsoleBackend::RunDialog(TDialog& dialog) {
  std::string texts;
  for (const auto& c : dialog.controls()) {
    auto peer = std::make_unique<ConsolePeer>();
    if (std::optional<std::string> t = ShownText(*c)) {
      peer->last_text = *t;
      if (!t->empty()) texts += (texts.empty() ? "" : " | ") + *t;
    }
    c->peer() = std::move(peer);
  }
  Line(dialog.caption(), texts);
  std::shared_ptr<TDialog> keep = dialog.shared_from_this();
  dialog.Shown();
  if (!dialog.modal()) return;
  while (!dialog.ended()) {
    DialogAnswer answer;
    if (TakeAnswer(dialog, &answer)) {
      Apply(dialog, answer);
    } else if (in_ != nullptr) {
      AskTerminal(dialog);
    } else if (!dialog.CloseRequested()) {
      dialog.Abandon();
    }
  }
}

bool ConsoleBackend::TakeAnswer(TDialog& dialog, DialogAnswer* answer) {
  if (!script_.empty()) {
    *answer = std::move(script_.front());
    script_.pop_front();
    return true;
  }
  if (!update_from_.empty() && !EditableFields(dialog).empty() &&
      dialog.FindButton("OK") != nullptr) {
    answer->fields = {update_from_};
    answer->button = "OK";
    update_from_.clear();
    return true;
  }
  return false;
}

void ConsoleBackend::Apply(TDialog& dialog, const DialogAnswer& answer) {
  if (answer.before) answer.before(dialog);
  if (dialog.ended()) return;
  const std::vector<TGet*> fields = EditableFields(dialog);
  for (size_t i = 0; i < fields.size() && i < answer.fields.size(); ++i) {
    if (!answer.fields[i]) continue;
    TGet& get = *fields[i];
    dialog.FieldEntered(get);
    get.Edit(*answer.fields[i]);
    if (!dialog.FieldLeft(get)) {
      Line(dialog.caption(), FieldLabel(dialog, get) + " not accepted: " + get.buffer());
      break;
    }
  }
  if (answer.button.empty()) {
    if (!dialog.CloseRequested()) dialog.Abandon();
    return;
  }
  TButton* button = dialog.FindButton(answer.button);
  if (button == nullptr) {
    Line(dialog.caption(), "no button " + answer.button);
    return;
  }
  dialog.PressButton(*button);
}

std::string ConsoleBackend::FieldLabel(const TDialog& dialog, const TGet& get) const {
  const TSay* best = nullptr;
  for (const auto& c : dialog.controls()) {
    if (c->kind() != TControl::Kind::kSay) continue;
    if (c->left() >= get.left() || std::abs(c->top() - get.top()) > 3) continue;
    if (best == nullptr || c->left() > best->left()) best = static_cast<const TSay*>(c.get());
  }
  if (best != nullptr && !best->text().empty()) return Trimmed(CaptionLabel(best->text()));
  const std::vector<TGet*> fields = EditableFields(dialog);
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i] == &get) return "Field " + std::to_string(i + 1);
  }
  return "Field";
}

void ConsoleBackend::AskTerminal(TDialog& dialog) {
  std::string line;
  for (TGet* get : EditableFields(dialog)) {
    for (;;) {
      *out_ << "  " << FieldLabel(dialog, *get) << " [" << get->buffer() << "]: ";
      out_->flush();
      if (!std::getline(*in_, line)) {
        dialog.Abandon();
        return;
      }
      dialog.FieldEntered(*get);
      if (!line.empty()) get->Edit(line);
      if (dialog.FieldLeft(*get)) break;
      *out_ << "  Not accepted.\n";
    }
  }
  std::vector<TButton*> buttons;
  std::string labels;
  for (const auto& c : dialog.controls()) {
    if (c->kind() != TControl::Kind::kButton) continue;
    auto* b = static_cast<TButton*>(c.get());
    buttons.push_back(b);
    labels += (labels.empty() ? "" : ", ") + b->label();
  }
  if (buttons.empty()) {
    dialog.Abandon();
    return;
  }
  for (;;) {
    *out_ << "  " << labels << "? ";
    out_->flush();
    if (!std::getline(*in_, line)) {
      dialog.Abandon();
      return;
    }
    const std::string want = Lower(Trimmed(line));
    for (TButton* b : buttons) {
      const char acc = b->accelerator();
      if (want == Lower(b->label()) ||
          (want.size() == 1 && acc != '\0' && want[0] == Lower(std::string(1, acc))[0])) {
        dialog.PressButton(*b);
        return;
      }
    }
  }
}

void ConsoleBackend::EndDialog(TDialog&) {}

void ConsoleBackend::RefreshControl(TControl& control) {
  std::optional<std::string> text = ShownText(control);
  if (!text || control.owner() == nullptr) return;
  auto* peer = dynamic_cast<ConsolePeer*>(control.peer().get());
  if (peer == nullptr) {
    control.peer() = std::make_unique<ConsolePeer>();
    peer = static_cast<ConsolePeer*>(control.peer().get());
  }
  if (peer->last_text == *text) return;
  peer->last_text = *text;
  Line(control.owner()->caption(), *text);
}

void ConsoleBackend::FocusControl(TControl&) {}
void ConsoleBackend::SetCursor(CursorShape) {}

bool ConsoleBackend::PumpMessages() {
  return true;
}

void ConsoleBackend::Repaint() {}

void ConsoleBackend::ShowText(const std::string& caption, const std::string& text) {
  Line(caption, "");
  *out_ << text;
  if (!text.empty() && text.back() != '\n') *out_ << '\n';
  out_->flush();
}

std::string ConsoleBackend::ChooseFolder(const std::string& title, const std::string&) {
  Line(title, "Choose a folder");
  if (!script_.empty()) {
    DialogAnswer a = std::move(script_.front());
    script_.pop_front();
    if (Lower(a.button) == "cancel" || a.fields.empty() || !a.fields[0]) return "";
    return *a.fields[0];
  }
  if (in_ != nullptr) {
    *out_ << "  Folder (empty to cancel): ";
    out_->flush();
    std::string line;
    if (std::getline(*in_, line)) return Trimmed(line);
  }
  return "";
}

int64_t ConsoleBackend::ActiveWindowHandle() {
  return 0;
}

bool ConsoleBackend::SaveImage(TDialog&, const std::string&) {
  return false;
}

void ConsoleBackend::Shutdown() {
  out_->flush();
}

}  // namespace px
