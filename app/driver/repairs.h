// The data repairs after the index rebuild: CHKBLANK, CLEANUP (with QUOSER) and SETUP,
// run in that order with the installation folder as the current folder. Each opens its
// tables by alias through the catalogue (OPNALIAS), works inside its own recovery
// point, changes records under record locks where the table is shared, and leaves a
// table alone when it cannot be opened (OPNALIAS has said why) or lacks a field the
// repair needs. They are idempotent: a second run finds nothing more to do.
#ifndef PX_APP_DRIVER_REPAIRS_H_
#define PX_APP_DRIVER_REPAIRS_H_

#include <cstdint>
#include <string>

#include "runtime/value.h"

namespace px {

class TControl;
class TDialog;
class UpdateLog;

// Each repair notes in `log`, when one is given, what it changed (counts only).

// Deletes the records with a blank key that the first index order puts at the top of
// customer, cquotes, stdass, glastype, glascat, alumtype, alumcat, staff, users,
// salesid and custcat, and every cqalt record whose five type fields are all blank.
// Closes every work area afterwards.
void CHKBLANK(UpdateLog* log = nullptr);

// Removes the cqass rows without a quote code and gives the rows without a serial
// number the next numbers of sysinfo's counter, in the order of cqass's first index;
// then makes every special aluminium type available in all seven product categories.
// The rows to remove and to number are collected first; the pack of cqass then drops
// and numbers them in one step, committing the counter just before the packed table
// takes cqass's place (serial_journal.h), so that a kill at any point leaves cqass and
// the counter as they were or both done. Progress texts go to *message and
// `control` (the index rebuild window's field); all three may be null.
void CLEANUP(TDialog* window, std::string* message, TControl* control, UpdateLog* log = nullptr);

// The next quote serial number from sysinfo's QUOSERIAL, counted up under a record
// lock; 0 when none could be drawn. The work area selected on entry is selected again.
Value QUOSER();

// sysinfo's quote serial counter QUOSERIAL, held under its record lock from Hold until
// Release (or the end of the object), so that numbers can be drawn for many rows and
// stored once. Each call leaves the work area that was selected selected.
class QuoteSerialCounter {
 public:
  QuoteSerialCounter() = default;
  ~QuoteSerialCounter();
  QuoteSerialCounter(const QuoteSerialCounter&) = delete;
  QuoteSerialCounter& operator=(const QuoteSerialCounter&) = delete;

  // Opens sysinfo shared through the catalogue and locks its record (RECLOCK(5)); false
  // when it cannot be opened, has no QUOSERIAL or stays locked elsewhere.
  bool Hold();
  // The counter as read by Hold or stored by Set.
  int64_t value() const { return value_; }
  // Stores the counter and commits it to disk; false when it could not be stored.
  bool Set(int64_t value);
  // Unlocks the record and closes sysinfo.
  void Release();

 private:
  int area_ = 0;
  int field_ = 0;
  int64_t value_ = 0;
};

// Fills the label-sheet settings of quotdata's first record when they are empty:
// LSLENGTH 40 with LSTOP 1, LSWIDTH 135 with LSMARGIN 1.
void SETUP(UpdateLog* log = nullptr);

}  // namespace px

#endif  // PX_APP_DRIVER_REPAIRS_H_
