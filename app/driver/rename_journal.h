// Putting finished files in place of installed ones as one unit.
//
// A table and its memo file belong together: the new table must never be seen with
// the old memo file or the reverse. ReplaceAsOne first writes a journal listing the
// renames ("zzrename.jnl" in the folder), then renames each finished file over the
// installed one in a single step (never erase-then-rename, so the installed name
// always holds a whole file), then removes the journal. When the program is killed in
// between, CompletePendingRenames, run when the installer starts again, carries out
// what the journal still lists.
#ifndef PX_APP_DRIVER_RENAME_JOURNAL_H_
#define PX_APP_DRIVER_RENAME_JOURNAL_H_

#include <string>
#include <vector>

namespace px {

// The journal's file name.
inline constexpr char kRenameJournal[] = "zzrename.jnl";

// One rename: file names within the journal's folder.
struct PendingRename {
  std::string from;
  std::string to;
};

enum class ReplaceOutcome {
  kDone,       // every file is in place
  kUnchanged,  // nothing was renamed: the installed files are as they were
  kPending,    // some renames are done, the rest stay in the journal for the next start
};

// Renames the files in order, as one unit. `folder` is a DOS or host folder ending in
// a separator, or "" for the current folder. Before anything is renamed, every source
// is flushed to disk and every installed file is tested: one that another program
// holds open leaves everything unchanged (*os_code 32). A rename that fails after an
// earlier one succeeded is tried again for a few seconds; if it still fails, the
// journal stays and the outcome is kPending. *os_code gets the DOS code of the
// failure (0 on success).
ReplaceOutcome ReplaceAsOne(const std::string& folder, const std::vector<PendingRename>& renames,
                            int* os_code);

// Carries out the renames a journal in the folder still lists (those whose source
// still exists) and removes the journal. True when no journal is left; false when a
// rename failed (the journal stays for another try) or the journal cannot be read.
bool CompletePendingRenames(const std::string& folder);

}  // namespace px

#endif  // PX_APP_DRIVER_RENAME_JOURNAL_H_
