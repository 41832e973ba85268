#include "ui/units.h"

#include <cmath>

namespace px {

namespace {

int Truncate(double v) {
  // A small epsilon keeps products such as 10 x 15.1 = 150.99999... at 151.
  return static_cast<int>(std::trunc(v + (v >= 0 ? 1e-9 : -1e-9)));
}

}  // namespace

int RowToPixels(double row, CellKind kind, bool pixel) {
  if (pixel) return Truncate(row);
  return Truncate(row * (kind == CellKind::kWindow ? 16.0 : 15.1));
}

int ColToPixels(double col, CellKind kind, bool pixel) {
  if (pixel) return Truncate(col);
  return Truncate(col * (kind == CellKind::kWindow ? 8.0 : 7.9));
}

}  // namespace px
