// The NTX-order layer of the default table driver "DBFNTX": a table with any number of
// open index files (.ntx), each holding one order (ntx_order.h).
//
// One of the orders may be the controlling one: while there is one, going to the top or
// bottom, raw skips and seeks follow its keys; otherwise the area moves in record
// order as the layers below do. Every change of a record keeps every open order up to
// date (GoHot remembers each order's key of the record as it was, GoCold replaces it);
// packing rebuilds every order and zapping empties it.
//
// Key maintenance. When a record becomes cold, each order whose key or FOR result
// changed gets the old key removed and the new one inserted; a newly appended record
// gets its keys inserted. In a shared table the first cold of an appended record (made
// by the append itself, under the header lock) inserts nothing: the insertions wait for
// the next time the record becomes cold, which every move, seek, unlock, commit and
// close brings about. An old key that cannot be found writes a line saying so to the
// standard output and leaves that order as it was. A unique order keeps one key per
// key value: a new key whose value is already there is not inserted, and when the
// record that holds a value changes, the next record (in record order) with that value
// takes its place.
//
// Sharing. In a shared table every seek, every step of a skip, each count or position
// query and each order's key maintenance runs under the index lock of the file
// concerned (index_file.h); exclusive tables take none and keep pages cached.
//
// Index creation (OrderCreate) evaluates the key once on the current record to fix the
// key type and size, reads the table straight from the file ten records at a time
// (every record, deleted ones included), sorts the keys in the system's order and writes
// the tree bottom-up (index_builder.h). A build that fails removes its partial file. A
// build that cannot get memory for even 256 runs, or that cannot create its temporary
// run file, ends the program with unrecoverable error 9000.
//
// Errors go through the area's RaiseError with the subsystem "DBFNTX".
#ifndef PX_ENGINE_NTX_NTX_AREA_H_
#define PX_ENGINE_NTX_NTX_AREA_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/dbf/memo_area.h"
#include "engine/ntx/index_builder.h"
#include "engine/ntx/index_verifier.h"
#include "engine/ntx/ntx_order.h"

namespace px {

// The layer the order driver builds on.
using NtxBaseArea = MemoArea;

class NtxArea : public NtxBaseArea {
 public:
  NtxArea();
  // Closes the orders and the table when they are still open.
  ~NtxArea() override;

  // --- Movement (in key order while an order controls) ---
  bool GoBottom() override;
  bool GoTo(uint32_t recno) override;
  bool GoTop() override;
  // Seeks a value in the controlling order; without one raises 36/1201.
  bool Seek(bool soft_seek, const Value& key, bool find_last) override;
  bool SkipRaw(int64_t n) override;

  // --- Key maintenance ---
  bool Flush() override;
  bool GoCold() override;
  bool GoHot() override;

  // --- Table ---
  bool Close() override;
  bool StructSize(uint16_t* out) override;
  bool SysName(std::string* out) override;
  // Packs the table (DbfArea::PackWith), then rebuilds every open order from the packed
  // records. Killed or failing after the table was packed, an order's file may hold the
  // old tree or part of a new one: CheckOrder reports it and a rebuild puts it right.
  bool PackWith(const PackPlan& plan) override;
  bool Zap() override;

  // --- Orders ---
  bool OrderListAdd(const std::string& bag_name, const std::string& order_name) override;
  bool OrderListClear() override;
  bool OrderListFocus(const Value& order, std::string* previous_name) override;
  // Rebuilds every open order from the table's records and goes to the top.
  bool OrderListRebuild() override;
  // The FOR condition of the next OrderCreate ("" for none).
  bool OrderCondition(const std::string& for_text) override;
  bool OrderCreate(const OrderCreateInfo& info) override;
  bool OrderInfo(int query, const Value& order, const Value& arg, Value* out) override;

  // --- Scopes of the controlling order (what: 0 top, 1 bottom) ---
  bool ClearScope() override;
  bool ScopeInfo(int what, Value* out) override;
  bool SetScope(int what, const Value& value) override;

  // --- For tools and tests ---
  int order_count() const { return static_cast<int>(orders_.size()); }
  // The order of that number (1-based), or nullptr.
  ntx::Order* order(int number);
  ntx::Order* controlling() { return controlling_; }
  // The key of the current record for an order, and whether the record satisfies its
  // FOR condition.
  bool RecordKey(ntx::Order& order, std::string* key, bool* for_ok);
  // Checks an open order against the table: the file's structure (index_verifier.h)
  // and its keys against the keys the records give (every record's key present once
  // with its record number; in a unique order every key value once). Leaves the area
  // on the record it was on.
  ntx::VerifyReport CheckOrder(ntx::Order& order);
  // Memory budget and temporary folder of index builds (tests use a small budget).
  void set_build_options(ntx::BuildOptions options) { build_options_ = std::move(options); }

 private:
  friend class TableKeySource;

  // Resolves an order argument: nil the controlling order, a number or a name.
  ntx::Order* FindOrder(const Value& which);
  bool OpenOrder(const std::string& bag_name);
  void CloseOrders();
  bool CompileKeySpec(ntx::KeySpec* spec, const std::string& key_text,
                      std::shared_ptr<const CodeBlock> block, const std::string& for_text);
  // The field whose name is exactly the text (in upper case), or nullptr.
  const DbfField* KeyField(const std::string& key_text) const;
  std::unique_ptr<ntx::KeyTree> MakeTree(std::unique_ptr<ntx::IndexFile> file);

  // Evaluation on the current record, with this area selected.
  bool EvalKey(const ntx::KeySpec& spec, Value* out);
  bool ForOk(const ntx::KeySpec& spec);
  bool MakeKey(const ntx::KeySpec& spec, std::string* key);
  // Whether navigation may stop on that record (deleted setting and filter); moves
  // the table there.
  bool Visible(uint32_t recno);

  // Navigation helpers. The Step functions take the index lock and leave the tree's
  // current key on the key reached; the Go functions then move the table there.
  ntx::KeyTree::Step FirstStep(ntx::Order& o);
  ntx::KeyTree::Step LastStep(ntx::Order& o);
  // Makes the tree's current key the key of the area's record unless it is already.
  bool SyncCurrentKey(ntx::Order& o);
  // One step from the tree's current key (found again when its place is unknown).
  ntx::KeyTree::Step StepKey(ntx::Order& o, int direction);
  bool GoFirstKey(ntx::Order& o);
  bool GoLastKey(ntx::Order& o);
  bool GoToKeyRecord(ntx::Order& o);
  bool GoPastEnd();
  bool SeekBytes(ntx::Order& o, const std::string& bytes, bool soft, bool find_last);
  // Whether a key (key-size bytes) lies before the top scope or after the bottom scope.
  bool BeforeTop(const ntx::Order& o, const std::string& key) const;
  bool AfterBottom(const ntx::Order& o, const std::string& key) const;
  // Search bytes of a value: character values keep their length, cut to the key size.
  bool SearchBytes(const ntx::Order& o, const Value& value, std::string* out);

  // Key maintenance helpers.
  void UpdateKeys(uint32_t recno, bool is_new);
  bool InsertKey(ntx::Order& o, const std::string& key, uint32_t recno);
  ntx::KeyTree::Removed RemoveKey(ntx::Order& o, const std::string& key, uint32_t recno);
  // After the record holding a unique order's key value changed: puts the next record
  // with that value in (none when no other record has it).
  void ReplaceUniqueKey(ntx::Order& o, const std::string& key, uint32_t recno);

  // Builds an order's tree into an open file from the table's records.
  ntx::BuildStatus BuildInto(File* file, ntx::NtxHeader* header, const ntx::KeySpec& spec);
  bool RebuildOrder(ntx::Order& o);
  // Ends the program for the build statuses that cannot be handed to the handler.
  void CheckFatalBuildStatus(ntx::BuildStatus status);
  void RaiseIndexError(int gen_code, int sub_code, int os_code, const std::string& file);

  std::vector<std::unique_ptr<ntx::Order>> orders_;
  ntx::Order* controlling_ = nullptr;
  std::string pending_for_;
  // A shared append's keys wait for the record's next cold.
  bool pending_insert_ = false;
  uint32_t pending_recno_ = 0;
  ntx::BuildOptions build_options_;
};

}  // namespace px

#endif  // PX_ENGINE_NTX_NTX_AREA_H_
