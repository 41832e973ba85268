// Quote serial numbers and the packed quote lines reach the disk as one step.
//
// CLEANUP numbers the cqass rows without a serial number from sysinfo's QUOSERIAL
// counter while it packs cqass into a copy beside it. The counter and the numbered rows
// must change together: a counter that moved without its rows loses numbers, rows
// numbered without the counter get their numbers drawn again. So, once the packed copy
// is whole on disk and before it replaces cqass, the journal "zzserial.jnl" notes the
// copy and the counter before and after the draw; then the counter is committed, the
// copy renamed over cqass, and the journal removed. An update killed in between leaves
// the journal, and the next start of the installer undoes the step: the copy goes (cqass
// keeps its unnumbered rows, numbered by the next update) and the counter goes back,
// unless a workstation drew a number since. A copy that is gone was renamed in place:
// then the counter stays.
#ifndef PX_APP_DRIVER_SERIAL_JOURNAL_H_
#define PX_APP_DRIVER_SERIAL_JOURNAL_H_

#include <cstdint>
#include <string>

namespace px {

inline constexpr char kSerialJournal[] = "zzserial.jnl";

struct SerialDraw {
  std::string packed_file;  // the packed copy that is to replace cqass
  int64_t before = 0;       // QUOSERIAL before the draw
  int64_t after = 0;        // QUOSERIAL after it
};

// Writes the journal in `folder` (ending in a separator, or "" for the current one);
// it appears whole or not at all. False when it could not be written.
bool NoteSerialDraw(const std::string& folder, const SerialDraw& draw);
// Removes the journal once the copy is in place, or once the step was undone.
void ForgetSerialDraw(const std::string& folder);

// Undoes a step a journal in the current folder still records, as above, and removes
// the journal. sysinfo is opened through the catalogue. True when no journal is left.
bool UndoPendingSerialDraw();

}  // namespace px

#endif  // PX_APP_DRIVER_SERIAL_JOURNAL_H_
