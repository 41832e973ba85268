// The table file layer of the DBF driver: a work area holding one open .dbf table.
//
// DbfArea reads and writes the table file byte-exactly (dbf_format.h, field_codec.h),
// keeps the current record in a record buffer and moves in record-number order. The memo
// layer (memo_area.h) derives from it and overrides GetValue/PutValue/GetVarLen for M
// fields; the memo file itself is created, opened, reset and closed here through the
// memo-file slots. The NTX-order layer derives from the memo layer.
//
// The record buffer follows a hot/cold protocol that derived layers hook into:
//   - every change of the current record (PutValue, PutRecord, DeleteRecord, Recall)
//     first passes through PrepareRecordForChange, which checks that the table may be
//     written and calls GoHot before the first change of the record;
//   - Append makes a blank record that is hot and appended without calling GoHot;
//   - GoCold writes a changed record back and clears the hot and appended flags; every
//     move, Flush and Close calls it first. A derived GoCold reads record_hot() and
//     record_appended() before it calls this one.
//
// Files are opened with the share mode of their table: exclusive (share nothing) or
// shared (deny none), read-only or read-write. A table opened exclusively takes no
// locks and buffers its table file's I/O (buffered_file.h) until the next flush or
// close; a shared one recomputes its record count from the file size whenever it may
// have grown and takes the header lock around each header rewrite. A record of a
// shared table may only be changed under its record lock or the file lock; Append
// locks the new record under the header lock and writes record and header at once.
//
// Errors carry the driver's name as subsystem ("DBFNTX" for the default driver).
#ifndef PX_ENGINE_DBF_DBF_AREA_H_
#define PX_ENGINE_DBF_DBF_AREA_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/dbf/dbf_format.h"
#include "engine/workarea/work_area.h"
#include "runtime/env.h"

namespace px {

class DbfArea : public WorkArea {
 public:
  explicit DbfArea(std::string driver_name);
  // Closes the table when it is still open.
  ~DbfArea() override;

  // --- Movement ---
  bool GoBottom() override;
  bool GoTo(uint32_t recno) override;
  bool GoToId(const Value& id) override;
  bool GoTop() override;
  // A table without orders cannot seek: 36/1201 "Workarea not indexed".
  bool Seek(bool soft_seek, const Value& key, bool find_last) override;
  bool Skip(int64_t n) override;
  bool SkipRaw(int64_t n) override;

  // --- Data ---
  // Fields collected for Create.
  bool AddField(const FieldDef& field) override;
  bool CreateFields(const std::vector<FieldDef>& fields) override;
  bool Append(bool release_other_locks) override;
  bool DeleteRecord() override;
  bool Deleted(bool* out) override;
  bool FieldCount(uint16_t* out) override;
  bool FieldInfo(uint16_t field, FieldDef* out) override;
  bool FieldName(uint16_t field, std::string* out) override;
  bool Flush() override;
  bool GetRecord(std::string* out) override;
  bool GetValue(uint16_t field, Value* out) override;
  bool GetVarLen(uint16_t field, uint32_t* out) override;
  bool GoCold() override;
  bool GoHot() override;
  bool PutRecord(const std::string& bytes) override;
  bool PutValue(uint16_t field, const Value& value) override;
  bool Recall() override;
  bool RecCount(uint32_t* out) override;
  // Into another DBF table each field gets what getting its Value and putting it would
  // store, the cheap way where the bytes allow: C fields are cut or padded, I and B
  // fields of the same length and valid 8-byte dates copied, logicals written as "T" or
  // "F", memo fields without text given the empty reference; other non-memo fields go
  // through their Values (raising the put errors), memo texts through GetValue and
  // PutValue of both memo layers.
  bool TransRecord(const TransInfo& info) override;
  bool RecNo(uint32_t* out) override;

  // --- Table ---
  bool Close() override;
  // Creates the table file from the fields given by AddField/CreateFields (and the memo
  // file when there is an M field) and leaves it open in this area, exclusive and
  // read-write, at its end. Fails without an error for a field kind the table cannot
  // hold.
  bool Create(const OpenInfo& info) override;
  bool Info(TableInfo what, Value* out) override;
  bool Open(const OpenInfo& info) override;
  bool SysName(std::string* out) override;
  // Removes the records marked deleted (whatever the deleted setting): PackWith with an
  // empty plan.
  bool Pack() override;
  // Removes the records marked deleted and those the plan drops, and stores the plan's
  // values into the records that stay (maintenance.h). Needs the table exclusive and
  // writable: 37/1023 "Exclusive required", 39/1025 "Write not allowed"; a plan that
  // does not fit the table raises its error before anything is written.
  //
  // The packed table (header as a rewrite would write it now, the records that stay,
  // the end-of-file mark) is written to a copy beside the table, named like it with the
  // extension ".zpk" (replacing a stale one), synced when hard commit is on, and then
  // renamed over the table, which is opened again exclusively. The table file is never
  // written, so a pack stopped at any point leaves the old table or the packed one under
  // its name. A failure before the rename (the copy cannot be created or written, a
  // read fails, before_replace says no, the rename is refused: 37/1023 when another
  // open holds the table) removes the copy, raises the error and leaves the table open
  // and unchanged, on the record it was on; false. When the packed table cannot be
  // opened again the open error is raised and the area is closed. When no record goes
  // and the plan stores nothing, no file is written (a pending header rewrite stays
  // pending). The memo file is not touched.
  //
  // Evaluates the area's progress block (progress()) as it goes; the block sees RECNO()
  // of the record visited and must not change records. Ends on record 1. The index
  // layer overrides PackWith and Zap to rebuild or empty its orders once this layer
  // succeeded.
  bool PackWith(const PackPlan& plan) override;
  // Removes every record and resets the memo file to its header block; the same
  // requirements as Pack. Ends past the end of the (empty) table.
  bool Zap() override;

  // --- Locking (a shared table; on an exclusive one every request succeeds at once) ---
  // One byte-range lock: the file lock, a record lock (nothing to do while the file is
  // locked), or the header (append) lock, which waits until granted. Fails when the
  // lock is held elsewhere.
  bool RawLock(LockAction action, uint32_t recno) override;
  // Locks a record (kExclusive first releases this area's other record locks) or the
  // whole table (kFile, after releasing every record lock). *result tells whether the
  // lock is held; a refused lock is not an error. After a new lock the buffered record
  // is dropped unless it holds changes, so that the next read sees the stored data.
  bool Lock(LockMethod method, uint32_t recno, bool* result) override;
  // Releases one record lock, or every record lock when recno is 0, and the file lock;
  // a changed record is written first.
  bool Unlock(uint32_t recno) override;

  // --- Memo file: creation with its header block, opening and closing ---
  bool CloseMemoFile() override;
  // Creates the memo file named in info, or with an empty name resets the open one.
  bool CreateMemoFile(const OpenInfo& info) override;
  bool OpenMemoFile(const OpenInfo& info) override;

  // --- Header ---
  // Re-reads the header's version byte and refreshes the record count of a shared table.
  bool ReadDbHeader() override;
  bool WriteDbHeader() override;

  // --- State for derived layers and tools ---
  bool is_open() const { return file_ != nullptr; }
  bool shared() const { return shared_; }
  bool read_only() const { return read_only_; }
  bool has_memo() const { return has_memo_; }
  const std::string& file_name() const { return file_name_; }
  const std::string& memo_file_name() const { return memo_name_; }
  const std::vector<DbfField>& fields() const { return fields_; }
  uint32_t header_length() const { return header_length_; }
  uint32_t record_length() const { return record_length_; }
  // The header as read at opening (version, date, flags, code page).
  const DbfHeader& header_as_read() const { return header_; }
  bool record_hot() const { return hot_; }
  bool record_appended() const { return appended_; }
  // Whether the area is on the blank record past the end.
  bool on_phantom() const { return phantom_; }
  uint8_t lock_scheme() const { return lock_scheme_; }
  bool file_locked() const { return file_locked_; }
  bool header_locked() const { return header_locked_; }
  const std::vector<uint32_t>& locked_records() const { return locked_records_; }

  // The extension of memo files.
  static constexpr const char* kMemoExtension = ".dbt";
  static constexpr uint32_t kMemoBlockSize = 512;

 protected:
  // Reads the current record into the buffer unless it is there. False when the read
  // failed (the read error has been raised).
  bool EnsureRecord();
  // Every change of the current record passes through here first: a read-only table
  // raises 39/1025 "Write not allowed"; a shared table whose file and current record
  // this area has not locked raises 38/1022 "Lock required"; the first change makes
  // the record hot (GoHot).
  bool PrepareRecordForChange();
  // Recomputes the record count from the file size.
  void RefreshRecordCount();
  // Raises the data type (33/1020) or data width (34/1021) error of a put.
  void RaisePutError(int gen_code, int sub_code, const DbfField& field);

  // The buffer of the current record (record-length bytes).
  std::string& record_buffer() { return record_; }
  File* table_file() { return file_.get(); }
  uint32_t record_count() const { return record_count_; }
  uint32_t current_recno() const { return recno_; }
  // Makes `bytes` (one record as stored, record-length bytes) the buffered record
  // `recno` without reading the file: index builds read the table in blocks and
  // evaluate each record's key on it. The record is cold; the next move reads again.
  void LoadRecord(uint32_t recno, const char* bytes);

  // The memo file and its written flag (data written since the last flush).
  std::unique_ptr<File> memo_file_;
  bool memo_written_ = false;

 private:
  bool ReadRecord(uint32_t recno);
  bool WriteRecord();
  void GoPhantom();
  // Reads header and field descriptors; false with the error to raise in *e.
  bool ReadStructure(Error* e);
  // Opens the data file in the mode of the table, raising 21/1001 (naming `shown`, or
  // `name` when empty) while the handler answers retry. False when it could not be
  // opened.
  bool OpenDataFile(const std::string& name, const std::string& shown = "");
  // The 32 header bytes a rewrite writes now for a table of `record_count` records.
  DbfHeaderBytes HeaderForRewrite(uint32_t record_count) const;
  // Reads n records from `first` on into *out; a short read raises 23/1010.
  bool ReadRecords(uint32_t first, uint32_t n, std::string* out);
  // Checks a pack plan against the table, raising its error; false when it does not fit.
  bool CheckPackPlan(const PackPlan& plan);
  void ResetTableState();
  OpenInfo MemoInfo() const;
  // Writes out what the buffered file of an exclusive table still holds; a failure
  // raises the write error.
  bool WriteCollected();
  // Pack and zap need an exclusive, writable table; raises the error otherwise.
  bool CheckExclusiveWritable();
  // Locks of a shared table.
  bool IsRecordLocked(uint32_t recno) const;
  // Writes a changed record, then releases every record lock but that of `keep`.
  bool ReleaseRecordLocks(uint32_t keep);
  // Locks a record and lists it; false when it is held elsewhere.
  bool TakeRecordLock(uint32_t recno);
  void RefreshAfterLock();
  Error TableError(int gen_code, int sub_code, bool retry, bool deflt) const;

  std::string driver_name_;
  std::unique_ptr<File> file_;
  std::string file_name_;
  std::string memo_name_;
  bool shared_ = false;
  bool read_only_ = false;
  bool has_memo_ = false;
  DbfHeader header_;
  std::vector<DbfField> fields_;
  std::vector<FieldDef> pending_fields_;  // collected for Create
  uint32_t header_length_ = 0;
  uint32_t record_length_ = 0;
  uint32_t record_count_ = 0;

  // The record buffer.
  uint32_t recno_ = 0;
  std::string record_;
  bool record_valid_ = false;  // the buffer holds record recno_
  bool phantom_ = false;       // on the blank record past the end
  bool deleted_ = false;
  bool hot_ = false;
  bool appended_ = false;

  // Pending work of flush and close.
  bool data_written_ = false;
  bool header_pending_ = false;

  // Lock state: the record locks held, in the order taken.
  uint8_t lock_scheme_ = 1;
  bool file_locked_ = false;
  bool header_locked_ = false;
  std::vector<uint32_t> locked_records_;
};

}  // namespace px

#endif  // PX_ENGINE_DBF_DBF_AREA_H_
