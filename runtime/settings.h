// The numbered process-wide settings of the engine.
//
// The number of a setting is its identity (deleted is 11, exclusive 8, date format 4,
// epoch 5, confirm 27); settings without a number of their own in the system's language
// carry numbers from 100 up. SET() reads and changes a setting by number with Values;
// engine code reads the typed fields of GetSettings() directly.
#ifndef PX_RUNTIME_SETTINGS_H_
#define PX_RUNTIME_SETTINGS_H_

#include <string>

#include "runtime/value.h"

namespace px {

enum class SetId : int {
  kExact = 1,
  kFixed = 2,
  kDecimals = 3,
  kDateFormat = 4,
  kEpoch = 5,
  kPath = 6,
  kDefault = 7,
  kExclusive = 8,
  kSoftSeek = 9,
  kUnique = 10,
  kDeleted = 11,
  kConfirm = 27,
  kCentury = 100,     // four-digit years in the date format
  kHardCommit = 101,  // ask the OS to write its buffers at every flush
  kStrictRead = 102,  // index builds read records through navigation
  kLockScheme = 103,  // 0 = default (scheme 1)
  kHandleCount = 104,
};

struct Settings {
  bool exact = false;
  bool fixed = false;
  int decimals = 2;
  std::string date_format = "mm/dd/yy";
  int epoch = 1900;
  std::string path;            // search path, folders separated by ";" or ","
  std::string default_folder;  // default folder for new and opened files
  bool exclusive = true;
  bool soft_seek = false;
  bool unique = false;
  bool deleted = false;
  bool confirm = false;
  bool century = false;
  bool hard_commit = true;
  bool strict_read = false;
  int lock_scheme = 0;
  int handle_count = 0;
};

Settings& GetSettings();

// SET(id) returns the setting; SET(id, value) changes it and returns the old value.
// Logical settings take .T./.F. or the texts "ON"/"OFF"; numeric ones numbers; the
// text ones strings. A value of the wrong type leaves the setting unchanged.
Value SET(SetId id);
Value SET(SetId id, const Value& value);

// Raises the process's open-file limit to at least n; returns the limit now in force
// (posix_settings.cc, win32_settings.cc: Windows has only its per-process handle limit).
int SETHANDLECOUNT(int n);

}  // namespace px

#endif  // PX_RUNTIME_SETTINGS_H_
