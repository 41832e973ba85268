#include "ui/win32/dialog_template.h"

#include <algorithm>

namespace px::win32 {

namespace {

constexpr uint32_t kSetFont = 0x40;

// a * b / c rounded to the nearest, as the system's MulDiv.
int MulDivRound(int a, int b, int c) {
  if (c == 0) return 0;
  const long long p = static_cast<long long>(a) * b;
  const long long half = (c > 0 ? c : -c) / 2;
  return static_cast<int>(((p >= 0) == (c > 0) ? p + half : p - half) / c);
}

int16_t Short(int v) {
  return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

}  // namespace

int DialogUnits::AcrossFromPixels(int pixels) const {
  return MulDivRound(pixels, 4, base_x);
}
int DialogUnits::DownFromPixels(int pixels) const {
  return MulDivRound(pixels, 8, base_y);
}
int DialogUnits::PixelsAcross(int units) const {
  return MulDivRound(units, base_x, 4);
}
int DialogUnits::PixelsDown(int units) const {
  return MulDivRound(units, base_y, 8);
}

DialogTemplate::DialogTemplate(uint32_t style, uint32_t ex_style, int width, int height,
                               const std::wstring& caption, const TemplateFont& font,
                               DialogUnits units)
    : units_(units) {
  Word(1);       // version
  Word(0xFFFF);  // the extended template
  Dword(0);      // help id
  Dword(ex_style);
  Dword(style);
  count_at_ = bytes_.size();
  Word(0);
  Word(0);  // left and top: the dialog is placed once it exists
  Word(0);
  Word(static_cast<uint16_t>(Short(units_.AcrossFromPixels(width))));
  Word(static_cast<uint16_t>(Short(units_.DownFromPixels(height))));
  Word(0);  // no menu
  Word(0);  // the dialog class
  Text(caption);
  if (style & kSetFont) {
    Word(static_cast<uint16_t>(font.point_size));
    Word(static_cast<uint16_t>(font.weight));
    bytes_.push_back(font.italic ? 1 : 0);
    bytes_.push_back(font.char_set);
    Text(font.face);
  }
}

void DialogTemplate::Add(const TemplateItem& item) {
  AlignDword();
  Dword(0);  // help id
  Dword(item.ex_style);
  Dword(item.style);
  Word(static_cast<uint16_t>(Short(units_.AcrossFromPixels(item.left))));
  Word(static_cast<uint16_t>(Short(units_.DownFromPixels(item.top))));
  Word(static_cast<uint16_t>(Short(units_.AcrossFromPixels(item.width))));
  Word(static_cast<uint16_t>(Short(units_.DownFromPixels(item.height))));
  Dword(item.id);
  Word(0xFFFF);
  Word(item.control_class);
  Text(item.text);
  Word(0);  // no creation data
  ++items_;
  bytes_[count_at_] = static_cast<uint8_t>(items_ & 0xFF);
  bytes_[count_at_ + 1] = static_cast<uint8_t>(items_ >> 8);
}

void DialogTemplate::Word(uint16_t v) {
  bytes_.push_back(static_cast<uint8_t>(v & 0xFF));
  bytes_.push_back(static_cast<uint8_t>(v >> 8));
}

void DialogTemplate::Dword(uint32_t v) {
  Word(static_cast<uint16_t>(v & 0xFFFF));
  Word(static_cast<uint16_t>(v >> 16));
}

void DialogTemplate::Text(const std::wstring& s) {
  for (wchar_t c : s) Word(static_cast<uint16_t>(c));
  Word(0);
}

void DialogTemplate::AlignDword() {
  while (bytes_.size() % 4 != 0) bytes_.push_back(0);
}

}  // namespace px::win32
