// Record-level commands on the current work area: navigation, field access, deletion,
// appending, sharing and locking.
//
// With no table in the current area, operations raise "DBCMD" 35/2001 "Workarea not in
// use" (with the operation's name) where the system does, and return the neutral result
// (EOF_ and BOF true, RECNO 0, FIELDGET nil, ...).
//
// EOF is a macro of the C library, so end-of-file is EOF_().
#ifndef PX_ENGINE_WORKAREA_COMMANDS_H_
#define PX_ENGINE_WORKAREA_COMMANDS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace px {

// --- Navigation ---
void DBGOTOP();
void DBGOBOTTOM();
// Raises "DBCMD" 1/1003 when the record number is nil.
void DBGOTO(const Value& recno);
inline void DBGOTO(uint32_t recno) {
  DBGOTO(Value::Integer(recno));
}
void DBSKIP(int64_t n = 1);
bool EOF_();
bool BOF();
bool FOUND();
uint32_t RECNO();
uint32_t RECCOUNT();
bool DELETED();
// Seeks in the controlling order; soft defaults to the soft-seek setting.
bool DBSEEK(const Value& key, std::optional<bool> soft = std::nullopt, bool find_last = false);

// --- Fields ---
int FCOUNT();
std::string FIELDNAME(int pos);
// 1-based position of a field (name upper-cased, trimmed, cut to 10), 0 when absent.
int FIELDPOS(std::string_view name);
// nil for a position outside 1..FCOUNT(), without an error.
Value FIELDGET(int pos);
Value FIELDPUT(int pos, const Value& value);

// --- Changes ---
void DBDELETE();
void DBRECALL();
// Appends a blank record (locked in shared mode). Returns true when appended.
bool DBAPPEND(bool release_other_locks = true);

// --- Sharing and locking ---
// On a table opened exclusively every lock request succeeds at once and places no lock.
// A refused lock is no error: the result is false.
//
// With a logical, sets the network-error flag; returns the flag after that.
bool NETERR(std::optional<bool> set = std::nullopt);
// Locks the current record after releasing the area's other record locks.
bool RLOCK();
// Locks the whole table (refused while another open holds a record lock).
bool FLOCK();
// Releases every record lock and the file lock of the area, writing a changed record
// first.
void DBUNLOCK();
// Opens a table into the current area under its base name, shared unless exclusive.
// While another workstation keeps it (NETERR), tries again after a pause of one second,
// `seconds` attempts in all (0 = without end). True when open; false at once when the
// open failed for another reason.
bool NETUSE(std::string_view file, bool exclusive, int seconds);
// Locks the current record (RLOCK), trying again after pauses of 0.2 second for about
// ten times `seconds` seconds (0 = without end): RECLOCK(2) gives up after 102
// attempts, RECLOCK(5) after 251. False at once without a table.
bool RECLOCK(double seconds);

}  // namespace px

#endif  // PX_ENGINE_WORKAREA_COMMANDS_H_
