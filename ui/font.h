// TFont: a font handed to windows, dialogs and controls.
//
// The arguments follow the system's order: face name, width, height, from-user flag,
// bold, escapement, orientation, weight, italic, underline, strike-out, character set,
// output precision, clip precision, quality, device, pitch-and-family. A negative
// height is a character height in logical units (pixels here); a positive one a cell
// height. Bold without a weight means weight 700.
#ifndef PX_UI_FONT_H_
#define PX_UI_FONT_H_

#include <memory>
#include <string>

#include "runtime/value.h"

namespace px {

struct TFontArgs {
  std::string face{};
  int width = 0;
  int height = 0;
  bool from_user = false;
  bool bold = false;
  int escapement = 0;
  int orientation = 0;
  int weight = 0;  // 0: 700 when bold, else 400
  bool italic = false;
  bool underline = false;
  bool strike_out = false;
  int char_set = 0;
  int out_precision = 0;
  int clip_precision = 0;
  int quality = 0;
  int device = 0;
  int pitch_family = 0;
};

class TFont : public Object {
 public:
  static std::shared_ptr<TFont> New(const TFontArgs& args);
  static std::shared_ptr<TFont> New(std::string face, int width, int height, bool bold = false);

  const TFontArgs& args() const { return args_; }
  int weight() const { return args_.weight != 0 ? args_.weight : (args_.bold ? 700 : 400); }
  // The character height in pixels.
  int pixel_height() const { return args_.height < 0 ? -args_.height : args_.height; }
  // Releases the font; it stays usable by objects that still hold it.
  void End() { ended_ = true; }
  bool ended() const { return ended_; }
  std::string ClassName() const override { return "TFONT"; }

 private:
  explicit TFont(TFontArgs args) : args_(std::move(args)) {}
  TFontArgs args_;
  bool ended_ = false;
};

}  // namespace px

#endif  // PX_UI_FONT_H_
