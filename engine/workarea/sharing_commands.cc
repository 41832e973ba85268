// Sharing and locking commands on the current work area: the network-error flag, record
// and file locks, and the two operations of the application that retry (NETUSE,
// RECLOCK). Their pauses go through the Env clock.
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"
#include "runtime/env.h"
#include "runtime/error.h"
#include "runtime/process_state.h"

namespace px {

bool NETERR(std::optional<bool> set) {
  if (set.has_value()) SetNetErr(*set);
  return GetNetErr();
}

bool RLOCK() {
  WorkArea* area = CurrentAreaOrRaise("RLOCK");
  if (area == nullptr) return false;
  uint32_t recno = 0;
  bool held = false;
  return area->RecNo(&recno) && area->Lock(LockMethod::kExclusive, recno, &held) && held;
}

bool FLOCK() {
  WorkArea* area = CurrentAreaOrRaise("FLOCK");
  if (area == nullptr) return false;
  bool held = false;
  return area->Lock(LockMethod::kFile, 0, &held) && held;
}

void DBUNLOCK() {
  if (WorkArea* area = CurrentAreaOrRaise("DBUNLOCK")) area->Unlock(0);
}

bool NETUSE(std::string_view file, bool exclusive, int seconds) {
  const bool forever = seconds == 0;
  while (forever || seconds > 0) {
    if (DBUSEAREA(false, "", file, "", !exclusive, false)) return true;
    // Only a refused open (the table held elsewhere) is worth waiting for; a bad name
    // or alias fails the same way every time and was reported already.
    if (!NETERR()) return false;
    SleepSeconds(1);
    --seconds;
  }
  return false;
}

bool RECLOCK(double seconds) {
  if (RLOCK()) return true;
  // Without a table RLOCK has reported it once; waiting cannot change that.
  if (!USED()) return false;
  // The count starts at ten times the seconds and loses 0.2 per pause of 0.2 second,
  // in binary floating point: RECLOCK(2) pauses 101 times and tries 102 times, in
  // about 20 seconds; RECLOCK(5) tries 251 times.
  double left = seconds * 10;
  const bool forever = left == 0;
  while (forever || left > 0) {
    if (RLOCK()) return true;
    SleepSeconds(0.2);
    left -= 0.2;
  }
  return false;
}

}  // namespace px
