// UpdateLog: the plain-text account of each installer run, appended to update.log in
// the installation folder, so that support staff can tell afterwards what an update did.
//
// One run writes one section, each line ended by CR LF and handed to the file system at
// once, so that a run killed midway leaves every line it wrote:
//
//   ==== Update started 2026-12-08 14:03:11 by anna on DESK4
//   Installation: C:\PX
//   ...facts, one per line...
//   Outcome: completed
//   ==== Update ended 2026-12-08 14:05:40
//
// A section without its "==== Update ended" line was cut short; the next run says so in
// its second line. The log is never a reason for the update to fail: when the file
// cannot be opened or written, the first failure is reported once on standard error and
// the run goes on without a log. An UpdateLog made without a folder writes nothing.
//
// Facts name tables, fields, counts and record numbers, never the values of records.
#ifndef PX_APP_DRIVER_UPDATE_LOG_H_
#define PX_APP_DRIVER_UPDATE_LOG_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/value.h"

namespace px {

class File;

inline constexpr char kUpdateLogFile[] = "update.log";

// How a table's structure changes: each entry "NAME" (dropped), "NAME C 30" (added) or
// "NAME C 30 -> C 40" (widened, narrowed, changed in type).
struct StructureChange {
  std::vector<std::string> added, dropped, widened, narrowed, retyped;
  bool empty() const {
    return added.empty() && dropped.empty() && widened.empty() && narrowed.empty() &&
           retyped.empty();
  }
};
// Compares two structure arrays as DBSTRUCT gives them (NAME, TYPE, LEN, DEC).
StructureChange CompareStructures(const Value& before, const Value& after);

// Values of one field that a migration could not store whole: cut texts, numbers
// written as asterisks, values of another kind left blank.
struct LostValues {
  std::string field{};
  std::string how{};  // "cut", "written as asterisks (too wide)", "left blank (...)"
  uint32_t count = 0;
  std::vector<uint32_t> first_records{};  // record numbers in the old table, at most 10
  void Add(uint32_t recno);
};

class UpdateLog {
 public:
  // No log: every call does nothing.
  UpdateLog();
  // Appends a new section to update.log in `folder` (a host folder), first noting a
  // section that an earlier run left unfinished.
  explicit UpdateLog(const std::string& folder);
  // Ends the section (End) unless it was ended.
  ~UpdateLog();
  UpdateLog(const UpdateLog&) = delete;
  UpdateLog& operator=(const UpdateLog&) = delete;

  // True while lines reach the file.
  bool writing() const { return file_ != nullptr; }

  // One line of text as it stands.
  void Line(std::string_view text);

  // The phase of the update procedure in progress (its number and a few words); an
  // outcome that stops the run names it.
  void Phase(int number, std::string_view what);
  int phase() const { return phase_; }

  // Facts of the run.
  void Source(const std::string& dos_folder, const std::string& host_folder);
  // The archive's name, size and CRC-32 (of the whole file).
  void Archive(const std::string& name);
  void Backup(const std::string& archive, int exit_code);
  // records_before is none when the table was not installed; `change` compares the
  // installed structure with the shipped one.
  void TableCopied(const std::string& name, std::optional<uint32_t> records_before,
                   uint32_t records_after, bool brings_records, const StructureChange& change);
  void TableRebuilt(const std::string& name, uint32_t records_before, uint32_t records_after,
                    uint32_t deleted_left_out, const StructureChange& change,
                    const std::vector<LostValues>& lost);
  void TableUnchanged(const std::string& name, std::string_view why);
  // Files of a kind ("Bitmaps", "Program files", "Libraries") put in the installation,
  // and those that could not be; nothing when there were none.
  void Files(std::string_view kind, const std::vector<std::string>& installed,
             const std::vector<std::string>& failed);
  void Repair(std::string_view routine, std::string_view table, std::string_view what);
  void Indexes(int rebuilt, const std::vector<std::string>& failed);
  void Alert(std::string_view text);
  void Error(std::string_view text);

  // The outcome; the first one noted stands (a stop noted deep inside is not replaced
  // by the "completed" of a caller that went on). The section is ended by the
  // destructor, or by End when the program quits at once.
  void Completed();
  void Abandoned();
  void Stopped(std::string_view reason);
  // The phase in progress was abandoned after the last alert but the update went on with
  // a later phase: the final "completed" says so.
  void StretchAbandoned();
  bool has_outcome() const { return !outcome_.empty(); }
  // Writes the outcome (or "stopped in phase N" when none was noted) and the end line.
  void End();

 private:
  void Write(const std::string& line);
  void WriteChange(const StructureChange& change);
  void Fail(const std::string& why);

  std::unique_ptr<File> file_;
  uint64_t offset_ = 0;
  int phase_ = 0;
  std::string phase_what_;
  std::string outcome_;
  std::string abandoned_stretch_;
  std::string last_alert_;
  std::string last_error_;
  bool ended_ = false;
};

}  // namespace px

#endif  // PX_APP_DRIVER_UPDATE_LOG_H_
