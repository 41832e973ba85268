// A dialog template built in memory: the dialog's frame, its font and its controls, in
// the layout the window system's dialog manager reads (the extended template).
//
// Positions and sizes are handed over in pixels and stored in dialog units of the
// template's font: a quarter of its average character width across and an eighth of
// its character height down, the units the dialog manager turns back into pixels
// (MapDialogRect).
#ifndef PX_UI_WIN32_DIALOG_TEMPLATE_H_
#define PX_UI_WIN32_DIALOG_TEMPLATE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace px::win32 {

// The base units of a font: its average character width and its character height.
struct DialogUnits {
  int base_x = 8;
  int base_y = 16;
  // Pixels to dialog units, rounded to the nearest.
  int AcrossFromPixels(int pixels) const;
  int DownFromPixels(int pixels) const;
  // Dialog units to pixels, as the dialog manager computes them.
  int PixelsAcross(int units) const;
  int PixelsDown(int units) const;
};

// The predefined control classes, by their atoms.
enum ControlClass : uint16_t {
  kButtonClass = 0x0080,
  kEditClass = 0x0081,
  kStaticClass = 0x0082,
  kListBoxClass = 0x0083,
};

struct TemplateFont {
  std::wstring face = L"MS Shell Dlg";
  int point_size = 8;
  int weight = 400;
  bool italic = false;
  uint8_t char_set = 1;  // the default character set
};

struct TemplateItem {
  ControlClass control_class = kStaticClass;
  uint32_t style = 0;
  uint32_t ex_style = 0;
  int left = 0, top = 0, width = 0, height = 0;  // pixels on the client area
  uint16_t id = 0;
  std::wstring text;
};

class DialogTemplate {
 public:
  // style must hold the font flag (0x40) for the font to be written.
  DialogTemplate(uint32_t style, uint32_t ex_style, int width, int height,
                 const std::wstring& caption, const TemplateFont& font, DialogUnits units);
  void Add(const TemplateItem& item);
  // The template's bytes, aligned as the dialog manager wants them.
  const void* data() const { return bytes_.data(); }
  size_t size() const { return bytes_.size(); }
  int items() const { return items_; }

 private:
  void Word(uint16_t v);
  void Dword(uint32_t v);
  void Text(const std::wstring& s);
  void AlignDword();

  DialogUnits units_;
  std::vector<uint8_t> bytes_;
  size_t count_at_ = 0;  // where the number of items is written
  int items_ = 0;
};

}  // namespace px::win32

#endif  // PX_UI_WIN32_DIALOG_TEMPLATE_H_
