// The data repairs after the index rebuild: CHKBLANK, CLEANUP (with QUOSER) and SETUP,
// run in that order with the installation folder as the current folder. Each opens its
// tables by alias through the catalogue (OPNALIAS), works inside its own recovery
// point, changes records under record locks where the table is shared, and leaves a
// table alone when it cannot be opened (OPNALIAS has said why) or lacks a field the
// repair needs. They are idempotent: a second run finds nothing more to do.
#ifndef PX_APP_DRIVER_REPAIRS_H_
#define PX_APP_DRIVER_REPAIRS_H_

#include <string>

#include "runtime/value.h"

namespace px {

class TControl;
class TDialog;

// Deletes the records with a blank key that the first index order puts at the top of
// customer, cquotes, stdass, glastype, glascat, alumtype, alumcat, staff, users,
// salesid and custcat, and every cqalt record whose five type fields are all blank.
// Closes every work area afterwards.
void CHKBLANK();

// Removes the cqass rows without a quote code (deleted, then packed away) and gives
// the rows without a serial number one (QUOSER); then makes every special aluminium
// type available in all seven product categories. Progress texts go to *message and
// `control` (the index rebuild window's field); all three may be null.
void CLEANUP(TDialog* window, std::string* message, TControl* control);

// The next quote serial number from sysinfo's QUOSERIAL, counted up under a record
// lock; 0 when none could be drawn. The work area selected on entry is selected again.
Value QUOSER();

// Fills the label-sheet settings of quotdata's first record when they are empty:
// LSLENGTH 40 with LSTOP 1, LSWIDTH 135 with LSMARGIN 1.
void SETUP();

}  // namespace px

#endif  // PX_APP_DRIVER_REPAIRS_H_
