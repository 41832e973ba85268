// Colours: 24-bit RGB numbers with red in the low byte, and the system colours the
// objects default to.
#ifndef PX_UI_COLORS_H_
#define PX_UI_COLORS_H_

#include <cstdint>

namespace px {

using Rgb = uint32_t;

constexpr Rgb RgbOf(int red, int green, int blue) {
  return static_cast<Rgb>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr int RedOf(Rgb c) {
  return static_cast<int>(c & 0xFF);
}
constexpr int GreenOf(Rgb c) {
  return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int BlueOf(Rgb c) {
  return static_cast<int>((c >> 16) & 0xFF);
}

// System colour indexes.
enum SysColor : int {
  kColorWindow = 5,
  kColorButtonFace = 15,
  kColorButtonText = 18,
};

// The colour of a system colour index in the classic scheme (the window system may
// draw its own instead).
Rgb SystemColor(int index);

}  // namespace px

#endif  // PX_UI_COLORS_H_
