#include "ui/colors.h"

namespace px {

Rgb SystemColor(int index) {
  switch (index) {
    case kColorWindow:
      return RgbOf(255, 255, 255);
    case kColorButtonFace:
      return RgbOf(192, 192, 192);
    case kColorButtonText:
      return RgbOf(0, 0, 0);
    default:
      return RgbOf(0, 0, 0);
  }
}

}  // namespace px
