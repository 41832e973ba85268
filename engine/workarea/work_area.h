// The work area: one numbered slot holding one open table, and the base class of every
// table driver.
//
// A table driver is a class whose virtual operations ("slots") form one table. The base
// class supplies every slot: the movement defaults (Skip, SkipFilter), Alias, Close and a
// few others, and for the rest an error of general code 30 "Operation not supported"
// raised through RaiseError, with failure as the result. The DBF driver derives from
// this class, the memo layer from the DBF driver and the NTX-order driver from the memo
// layer; each overrides some slots and passes the rest down.
//
// Every slot returns true for success and false for failure; results come back through
// pointer arguments. Slots raise their errors themselves (through RaiseError, which sets
// the subsystem to the driver's name); callers only look at the result.
#ifndef PX_ENGINE_WORKAREA_WORK_AREA_H_
#define PX_ENGINE_WORKAREA_WORK_AREA_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/error.h"
#include "runtime/value.h"

namespace px {

// A field as defined at creation and as described by a table: name (upper case, at most
// 10 bytes in a DBF table), kind letter, length and decimals.
struct FieldDef {
  std::string name;
  char type = 'C';
  uint32_t len = 0;
  uint32_t dec = 0;
};

// What Open and Create are given.
struct OpenInfo {
  uint16_t area = 0;
  std::string file_name;  // full name, extension included
  std::string alias;
  bool shared = false;
  bool read_only = false;
  std::string code_page;
};

// Arguments of OrderCreate (ORDCREATE).
struct OrderCreateInfo {
  std::string bag_name;    // index file name, may be empty when an order name is given
  std::string order_name;  // may be empty
  std::string key_text;
  std::shared_ptr<const CodeBlock> key_block;  // optional compiled key
  std::optional<bool> unique;                  // default: the unique setting
};

class WorkArea;
struct PackPlan;  // maintenance.h

// What TransRecord copies: the destination area and, per destination field, the
// source field whose value it takes (1-based field numbers).
struct TransInfo {
  struct Field {
    uint16_t source = 0;
    uint16_t dest = 0;
  };
  WorkArea* dest = nullptr;
  std::vector<Field> fields;
};

// The progress callback of a pack: the block is evaluated without arguments after
// every `interval` records visited (an interval of 0 or less counts as 1), and once
// more at the end when records were visited since. No block: no callback.
struct ProgressHolder {
  std::shared_ptr<const CodeBlock> block;
  int64_t interval = 0;
};

// rawLock actions.
enum class LockAction : int {
  kFileLock = 1,
  kFileUnlock = 2,
  kRecordLock = 3,
  kRecordUnlock = 4,
  kAppendLock = 5,
  kAppendUnlock = 6,
  kHeaderLock = 7,
  kHeaderUnlock = 8,
};

// lock methods.
enum class LockMethod : int {
  kExclusive = 1,  // release the other record locks, lock this record (RLOCK)
  kMultiple = 2,   // lock this record, keep the others
  kFile = 3,       // lock the whole table (FLOCK)
};

// Table information queries of Info.
enum class TableInfo : int {
  kIsShared = 1,
  kIsReadOnly = 2,
  kFullPath = 3,
  kTableExt = 4,
  kMemoExt = 5,
  kLockCount = 6,
  kLockList = 7,
  kFileLocked = 8,
  kLastUpdate = 9,
  kHeaderSize = 10,
  kRecordSize = 11,
  kHasMemo = 12,
};

class WorkArea {
 public:
  WorkArea() = default;
  virtual ~WorkArea() = default;
  WorkArea(const WorkArea&) = delete;
  WorkArea& operator=(const WorkArea&) = delete;

  // --- Movement and positioning ---
  virtual bool Bof(bool* out);
  virtual bool Eof(bool* out);
  virtual bool Found(bool* out);
  virtual bool GoBottom();
  virtual bool GoTo(uint32_t recno);
  // Takes a record number as a Value: a number, a date or a one-character text by its
  // numeric value; a logical or a longer text raises 33/1020 "Data type error".
  virtual bool GoToId(const Value& id);
  virtual bool GoTop();
  virtual bool Seek(bool soft_seek, const Value& key, bool find_last);
  // The general skip: n = 0 re-reads; otherwise |n| steps of SkipRaw(+-1) and
  // SkipFilter(+-1), stopping at either end.
  virtual bool Skip(int64_t n);
  // Leaves records hidden by the filter or (with the deleted setting on) deleted ones,
  // moving in direction d (+1 or -1).
  virtual bool SkipFilter(int direction);
  virtual bool SkipRaw(int64_t n);

  // --- Data management ---
  virtual bool AddField(const FieldDef& field);
  virtual bool Append(bool release_other_locks);
  virtual bool CreateFields(const std::vector<FieldDef>& fields);
  virtual bool DeleteRecord();
  virtual bool Deleted(bool* out);
  virtual bool FieldCount(uint16_t* out);
  virtual bool FieldDisplay(uint16_t field);
  // Field description by 1-based number.
  virtual bool FieldInfo(uint16_t field, FieldDef* out);
  virtual bool FieldName(uint16_t field, std::string* out);
  virtual bool Flush();
  // The raw bytes of the current record.
  virtual bool GetRecord(std::string* out);
  virtual bool GetValue(uint16_t field, Value* out);
  virtual bool GetVarLen(uint16_t field, uint32_t* out);
  // Called after a record was changed and is about to be written (key maintenance).
  virtual bool GoCold();
  // Called before the current record is first changed.
  virtual bool GoHot();
  virtual bool PutRecord(const std::string& bytes);
  virtual bool PutValue(uint16_t field, const Value& value);
  virtual bool Recall();
  virtual bool RecCount(uint32_t* out);
  virtual bool RecInfo(uint32_t recno, int what, Value* out);
  virtual bool RecNo(uint32_t* out);
  virtual bool SetFieldExtent(uint16_t count);

  // --- Work area and table management ---
  virtual bool Alias(std::string* out);
  // The base part of closing: clears the filter and the alias registration. Drivers
  // close their files first and then call it.
  virtual bool Close();
  virtual bool Create(const OpenInfo& info);
  virtual bool Info(TableInfo what, Value* out);
  virtual bool NewArea();
  virtual bool Open(const OpenInfo& info);
  virtual bool Release();
  virtual bool StructSize(uint16_t* out);
  // The driver's name, also the subsystem text of its errors ("DBFNTX").
  virtual bool SysName(std::string* out);
  virtual bool DbEval(const CodeBlock& block);
  virtual bool Pack();
  // A pack that also drops the plan's records and stores its values (maintenance.h).
  virtual bool PackWith(const PackPlan& plan);
  virtual bool PackRecord(uint32_t recno, bool* written);
  virtual bool Sort();
  virtual bool Trans();
  // Appends a record to info.dest (keeping its other locks) and copies the current
  // record into it: the deletion mark, then each listed field through GetValue and
  // PutValue. Errors of the puts are raised and the copy goes on; false when the source
  // record could not be read or the append failed.
  virtual bool TransRecord(const TransInfo& info);
  virtual bool Zap();

  // --- Relations (never used by this system; the slots exist for derived drivers) ---
  virtual bool ChildEnd(WorkArea* child);
  virtual bool ChildStart(WorkArea* child);
  virtual bool ChildSync(WorkArea* child);
  virtual bool SyncChildren();
  virtual bool ClearRelations();
  virtual bool ForceRelation();
  virtual bool RelationArea(uint16_t relation, uint16_t* out);
  virtual bool RelationEval(uint16_t relation);
  virtual bool RelationText(uint16_t relation, std::string* out);
  virtual bool SetRelation(WorkArea* child, const CodeBlock& key, const std::string& text);

  // --- Orders ---
  virtual bool OrderListAdd(const std::string& bag_name, const std::string& order_name);
  virtual bool OrderListClear();
  virtual bool OrderListDelete(const std::string& bag_name);
  // Chooses the controlling order (a number, 0 for none, or a name; nil keeps it) and
  // returns the name of the order that controlled before.
  virtual bool OrderListFocus(const Value& order, std::string* previous_name);
  virtual bool OrderListRebuild();
  virtual bool OrderCondition(const std::string& for_text);
  virtual bool OrderCreate(const OrderCreateInfo& info);
  virtual bool OrderDestroy(const Value& order);
  // Order information query by number (1 FOR text, 2 key text, 3 key position, ...).
  virtual bool OrderInfo(int query, const Value& order, const Value& arg, Value* out);

  // --- Filters, scopes and locate ---
  virtual bool ClearFilter();
  virtual bool ClearLocate();
  virtual bool ClearScope();
  virtual bool CountScope(uint32_t* out);
  virtual bool FilterText(std::string* out);
  virtual bool ScopeInfo(int what, Value* out);
  virtual bool SetFilter(std::shared_ptr<const CodeBlock> filter, const std::string& text);
  virtual bool SetLocate(std::shared_ptr<const CodeBlock> condition);
  virtual bool SetScope(int what, const Value& value);
  virtual bool SkipScope(int64_t n);

  // --- Miscellaneous ---
  virtual bool Compile(const std::string& text, std::shared_ptr<const CodeBlock>* out);
  // Completes the error (severity, subsystem = the driver's name) and hands it to the
  // process handler.
  virtual ErrorAnswer RaiseError(Error& e);
  virtual bool EvalBlock(const CodeBlock& block, Value* out);

  // --- Locking ---
  virtual bool RawLock(LockAction action, uint32_t recno);
  virtual bool Lock(LockMethod method, uint32_t recno, bool* result);
  // Releases the lock of one record, or of every record and the file when recno is 0.
  virtual bool Unlock(uint32_t recno);

  // --- Memo files ---
  virtual bool CloseMemoFile();
  virtual bool CreateMemoFile(const OpenInfo& info);
  virtual bool GetValueFile(uint16_t field, const std::string& file_name);
  virtual bool OpenMemoFile(const OpenInfo& info);
  virtual bool PutValueFile(uint16_t field, const std::string& file_name);

  // --- Table file header ---
  virtual bool ReadDbHeader();
  virtual bool WriteDbHeader();

  // --- State shared by every driver ---
  uint16_t area_number() const { return area_number_; }
  void set_area_number(uint16_t n) { area_number_ = n; }
  // The alias as registered (upper case, at most 32 characters).
  const std::string& alias() const { return alias_; }
  void set_alias(std::string alias) { alias_ = std::move(alias); }

  bool bof() const { return bof_; }
  bool eof() const { return eof_; }
  bool found() const { return found_; }
  const std::shared_ptr<const CodeBlock>& filter() const { return filter_; }
  uint16_t parent_relations() const { return parent_relations_; }
  // Set by __DBPACK before it packs.
  void set_progress(ProgressHolder progress) { progress_ = std::move(progress); }
  const ProgressHolder& progress() const { return progress_; }

 protected:
  // Raises 30 "Operation not supported" for the named slot and returns false.
  bool Unsupported(const char* slot);
  // Registers the alias of a table being opened or created in this area (normalised,
  // kept as at most 32 characters). An alias held by another area raises "DBCMD"
  // 18/1011 "Alias already in use" and fails; an empty alias registers nothing.
  bool RegisterOpenAlias(const std::string& alias);
  // The flags a skip of n leaves: after moving backwards end-of-file is cleared (unless
  // the area is on the record past the end), after moving forwards begin-of-file.
  void SettleSkipFlags(int64_t n);

  uint16_t area_number_ = 0;
  std::string alias_;
  bool bof_ = false;
  bool eof_ = false;
  bool found_ = false;
  bool top_ = false;
  bool bottom_ = false;
  bool positioned_ = false;
  uint16_t parent_relations_ = 0;  // relations in which this area is the child
  std::shared_ptr<const CodeBlock> filter_;
  std::string filter_text_;
  ProgressHolder progress_;
};

// A table driver: makes work areas of its kind and knows its files.
class Driver {
 public:
  virtual ~Driver() = default;
  // Upper-case name, at most 32 characters ("DBFNTX").
  virtual std::string Name() const = 0;
  virtual std::unique_ptr<WorkArea> NewArea() const = 0;
  // Extension of the table file, with its dot (".dbf").
  virtual std::string TableExtension() const = 0;
  // Deletes a table's files; true on success.
  virtual bool Drop(const std::string& file_name) const;
  // Tests for a table file.
  virtual bool Exists(const std::string& file_name) const;
};

// The drivers known to the process. RegisterDriver replaces a driver of the same name.
void RegisterDriver(std::unique_ptr<Driver> driver);
// The driver of that name (case-insensitive), or nullptr.
const Driver* FindDriver(const std::string& name);
// The name used when DBUSEAREA names no driver ("DBFNTX").
std::string DefaultDriverName();
void SetDefaultDriverName(const std::string& name);

}  // namespace px

#endif  // PX_ENGINE_WORKAREA_WORK_AREA_H_
