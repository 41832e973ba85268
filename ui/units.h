// Coordinate units of windows and dialogs.
//
// With the pixel flag set, numbers are pixels relative to the parent's client area.
// Otherwise they are character cells: a main window's rows are 16 pixels and its
// columns 8; a dialog's rows are 15.1 pixels and its columns 7.9, each product
// truncated to whole pixels (3 rows are 45 pixels, 20 columns 158).
#ifndef PX_UI_UNITS_H_
#define PX_UI_UNITS_H_

namespace px {

enum class CellKind { kWindow, kDialog };

// Pixels of a row (top or bottom) given in cells of that kind, or as pixels.
int RowToPixels(double row, CellKind kind, bool pixel);
// Pixels of a column (left or right).
int ColToPixels(double col, CellKind kind, bool pixel);

}  // namespace px

#endif  // PX_UI_UNITS_H_
