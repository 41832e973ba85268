// The geometry of the controls on the driver's dialogs.
//
// The driver's layouts give control positions and sizes in the dialog units of its
// 12-pixel bold Arial font, about 1.75 pixels across and 1.9 down (a quarter of the
// average character width and an eighth of the character height), inside dialogs whose
// own frames are in pixels or text cells. Taken as plain pixels the controls would be
// too small for their texts ("Update From:" in 40 pixels) and crowd the left of
// dialogs several times their width; scaled, the browse button starts where the source
// field ends and the fields hold a whole path.
#ifndef PX_APP_DRIVER_LAYOUT_H_
#define PX_APP_DRIVER_LAYOUT_H_

namespace px {

// Dialog units to pixels, across and down.
inline int UnitsAcross(double units) {
  return static_cast<int>(units * 1.75 + 0.5);
}
inline int UnitsDown(double units) {
  return static_cast<int>(units * 1.9 + 0.5);
}

// The same for control positions, which are given as numbers with fractions.
inline double RowOf(double units) {
  return UnitsDown(units);
}
inline double ColOf(double units) {
  return UnitsAcross(units);
}

}  // namespace px

#endif  // PX_APP_DRIVER_LAYOUT_H_
