#include "ui/font.h"

namespace px {

std::shared_ptr<TFont> TFont::New(const TFontArgs& args) {
  return std::shared_ptr<TFont>(new TFont(args));
}

std::shared_ptr<TFont> TFont::New(std::string face, int width, int height, bool bold) {
  TFontArgs a;
  a.face = std::move(face);
  a.width = width;
  a.height = height;
  a.bold = bold;
  return New(a);
}

}  // namespace px
