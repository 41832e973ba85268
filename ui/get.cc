#include "ui/get.h"

#include <cstdlib>

#include "runtime/memvars.h"
#include "ui/dialog.h"
#include "ui/messages.h"

namespace px {

Binding BindValue(Value* variable) {
  return {[variable] { return *variable; }, [variable](const Value& v) { *variable = v; }};
}

Binding BindString(std::string* variable) {
  return {[variable] { return Value::String(*variable); },
          [variable](const Value& v) { *variable = v.is_string() ? v.str() : MessageText(v); }};
}

Binding BindMemVar(std::string name) {
  return {[name] {
            const Value* v = GetMemVars().Find(name);
            return v != nullptr ? *v : Value();
          },
          [name](const Value& v) { GetMemVars().Set(name, v); }};
}

std::string ApplyPicture(std::string_view picture, std::string_view text) {
  std::string out(text);
  // A function picture starts with "@"; "!" among its letters means upper case.
  if (!picture.empty() && picture[0] == '@') {
    const size_t end = picture.find(' ');
    if (picture.substr(0, end).find('!') != std::string_view::npos) {
      for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      }
    }
  }
  return out;
}

std::shared_ptr<TGet> TGet::New(const TGetArgs& args) {
  std::shared_ptr<TGet> get(new TGet(args));
  if (args.owner != nullptr) args.owner->Add(get);
  return get;
}

TGet::TGet(const TGetArgs& args) : TControl(Kind::kGet), args_(args) {
  font_ = args_.font;
  text_color_ = args_.text_color;
  back_color_ = args_.back_color;
  const Value initial = args_.var.get ? args_.var.get() : Value();
  type_ = initial.type();
  std::string text = ReadVariable();
  length_ = initial.is_string() ? initial.str().size() : text.size();
  if (initial.is_number() && initial.width() > 0) {
    length_ = std::max(length_, static_cast<size_t>(initial.width()));
  }
  buffer_ = text;
  const int width = args_.width.value_or(static_cast<int>(length_ * 8 + 8));
  Place(args_.owner, args_.row, args_.col, args_.pixel, width, args_.height.value_or(12));
}

std::string TGet::ReadVariable() const {
  if (!args_.var.get) return "";
  const Value v = args_.var.get();
  if (v.is_string()) {
    std::string s = v.str();
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  }
  if (v.is_nil()) return "";
  return MessageText(v);
}

std::string TGet::Edit(std::string_view text) {
  if (args_.read_only) return buffer_;
  std::string next = ApplyPicture(args_.picture, text);
  // Line breaks cannot be part of a single-line field.
  for (char& c : next) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  if (next.size() > length_) next.resize(length_);
  const bool changed = next != buffer_;
  buffer_ = std::move(next);
  if (changed && args_.changed) args_.changed();
  return buffer_;
}

void TGet::Assign() {
  if (args_.read_only || !args_.var.set) return;
  std::string padded = buffer_;
  if (padded.size() < length_) padded.append(length_ - padded.size(), ' ');
  switch (type_) {
    case Value::Type::kCharacter:
    case Value::Type::kNil:
      args_.var.set(Value::String(padded));
      break;
    case Value::Type::kMemo:
      args_.var.set(Value::Memo(padded));
      break;
    case Value::Type::kNumber: {
      const Value old = args_.var.get();
      const double d = std::strtod(buffer_.c_str(), nullptr);
      if (old.decimals() > 0 || buffer_.find('.') != std::string::npos) {
        args_.var.set(Value::Double(d, old.width(), old.decimals()));
      } else {
        args_.var.set(Value::Integer(static_cast<int64_t>(d), old.width()));
      }
      break;
    }
    default:
      // Dates, logicals and other values are shown but not edited.
      break;
  }
}

bool TGet::Valid() const {
  return !args_.valid || args_.valid();
}

void TGet::Refresh() {
  buffer_ = ReadVariable();
  const Value v = args_.var.get ? args_.var.get() : Value();
  if (v.is_string() && v.str().size() > length_) length_ = v.str().size();
  if (buffer_.size() > length_) length_ = buffer_.size();
  TControl::Refresh();
}

}  // namespace px
