#include "engine/workarea/work_area.h"

#include <map>

#include "engine/workarea/registry.h"
#include "runtime/process_state.h"
#include "runtime/settings.h"

namespace px {

bool WorkArea::Unsupported(const char* slot) {
  Error e = Error::Make("", kErrUnsupported, 0);
  e.operation = slot;
  RaiseError(e);
  return false;
}

ErrorAnswer WorkArea::RaiseError(Error& e) {
  if (e.severity < kSeverityError) e.severity = kSeverityError;
  std::string name;
  if (SysName(&name) && e.subsystem.empty()) e.subsystem = name;
  return px::RaiseError(e);
}

bool WorkArea::SysName(std::string* out) {
  out->clear();
  return true;
}

bool WorkArea::Alias(std::string* out) {
  *out = alias_;
  return true;
}

bool WorkArea::Bof(bool* out) {
  *out = bof_;
  return true;
}

bool WorkArea::Eof(bool* out) {
  *out = eof_;
  return true;
}

bool WorkArea::Found(bool* out) {
  *out = found_;
  return true;
}
bool WorkArea::GoBottom() {
  return Unsupported("GoBottom");
}
bool WorkArea::GoTo(uint32_t /*recno*/) {
  return Unsupported("GoTo");
}
bool WorkArea::GoToId(const Value& /*id*/) {
  return Unsupported("GoToId");
}
bool WorkArea::GoTop() {
  return Unsupported("GoTop");
}
bool WorkArea::Seek(bool /*soft_seek*/, const Value& /*key*/, bool /*find_last*/) {
  return Unsupported("Seek");
}
bool WorkArea::SkipRaw(int64_t /*n*/) {
  return Unsupported("SkipRaw");
}
bool WorkArea::AddField(const FieldDef& /*field*/) {
  return Unsupported("AddField");
}
bool WorkArea::Append(bool /*release_other_locks*/) {
  return Unsupported("Append");
}
bool WorkArea::CreateFields(const std::vector<FieldDef>& /*fields*/) {
  return Unsupported("CreateFields");
}
bool WorkArea::DeleteRecord() {
  return Unsupported("DeleteRecord");
}
bool WorkArea::Deleted(bool* /*out*/) {
  return Unsupported("Deleted");
}
bool WorkArea::FieldCount(uint16_t* /*out*/) {
  return Unsupported("FieldCount");
}
bool WorkArea::FieldDisplay(uint16_t /*field*/) {
  return Unsupported("FieldDisplay");
}
bool WorkArea::FieldInfo(uint16_t /*field*/, FieldDef* /*out*/) {
  return Unsupported("FieldInfo");
}
bool WorkArea::FieldName(uint16_t /*field*/, std::string* /*out*/) {
  return Unsupported("FieldName");
}
bool WorkArea::Flush() {
  return Unsupported("Flush");
}
bool WorkArea::GetRecord(std::string* /*out*/) {
  return Unsupported("GetRecord");
}
bool WorkArea::GetValue(uint16_t /*field*/, Value* /*out*/) {
  return Unsupported("GetValue");
}
bool WorkArea::GetVarLen(uint16_t /*field*/, uint32_t* /*out*/) {
  return Unsupported("GetVarLen");
}
bool WorkArea::GoCold() {
  return Unsupported("GoCold");
}
bool WorkArea::GoHot() {
  return Unsupported("GoHot");
}
bool WorkArea::PutRecord(const std::string& /*bytes*/) {
  return Unsupported("PutRecord");
}
bool WorkArea::PutValue(uint16_t /*field*/, const Value& /*value*/) {
  return Unsupported("PutValue");
}
bool WorkArea::Recall() {
  return Unsupported("Recall");
}
bool WorkArea::RecCount(uint32_t* /*out*/) {
  return Unsupported("RecCount");
}
bool WorkArea::RecInfo(uint32_t /*recno*/, int /*what*/, Value* /*out*/) {
  return Unsupported("RecInfo");
}
bool WorkArea::RecNo(uint32_t* /*out*/) {
  return Unsupported("RecNo");
}
bool WorkArea::SetFieldExtent(uint16_t /*count*/) {
  return Unsupported("SetFieldExtent");
}
bool WorkArea::Create(const OpenInfo& /*info*/) {
  return Unsupported("Create");
}
bool WorkArea::Info(TableInfo /*what*/, Value* /*out*/) {
  return Unsupported("Info");
}
bool WorkArea::Open(const OpenInfo& /*info*/) {
  return Unsupported("Open");
}
bool WorkArea::StructSize(uint16_t* /*out*/) {
  return Unsupported("StructSize");
}
bool WorkArea::DbEval(const CodeBlock& /*block*/) {
  return Unsupported("DbEval");
}
bool WorkArea::Pack() {
  return Unsupported("Pack");
}
bool WorkArea::PackWith(const PackPlan& /*plan*/) {
  return Unsupported("PackWith");
}
bool WorkArea::PackRecord(uint32_t /*recno*/, bool* /*written*/) {
  return Unsupported("PackRecord");
}
bool WorkArea::Sort() {
  return Unsupported("Sort");
}
bool WorkArea::Trans() {
  return Unsupported("Trans");
}
bool WorkArea::TransRecord(const TransInfo& info) {
  bool deleted = false;
  if (!Deleted(&deleted) || !info.dest->Append(false)) return false;
  if (deleted) info.dest->DeleteRecord();
  for (const TransInfo::Field& f : info.fields) {
    Value v;
    if (GetValue(f.source, &v)) info.dest->PutValue(f.dest, v);
  }
  return true;
}
bool WorkArea::Zap() {
  return Unsupported("Zap");
}
bool WorkArea::ChildEnd(WorkArea* /*child*/) {
  return Unsupported("ChildEnd");
}
bool WorkArea::ChildStart(WorkArea* /*child*/) {
  return Unsupported("ChildStart");
}
bool WorkArea::ChildSync(WorkArea* /*child*/) {
  return Unsupported("ChildSync");
}
bool WorkArea::SyncChildren() {
  return Unsupported("SyncChildren");
}
bool WorkArea::ClearRelations() {
  return Unsupported("ClearRelations");
}
bool WorkArea::ForceRelation() {
  return Unsupported("ForceRelation");
}
bool WorkArea::RelationArea(uint16_t /*relation*/, uint16_t* /*out*/) {
  return Unsupported("RelationArea");
}
bool WorkArea::RelationEval(uint16_t /*relation*/) {
  return Unsupported("RelationEval");
}
bool WorkArea::RelationText(uint16_t /*relation*/, std::string* /*out*/) {
  return Unsupported("RelationText");
}
bool WorkArea::SetRelation(WorkArea* /*child*/, const CodeBlock& /*key*/,
                           const std::string& /*text*/) {
  return Unsupported("SetRelation");
}
bool WorkArea::OrderListAdd(const std::string& /*bag_name*/, const std::string& /*order_name*/) {
  return Unsupported("OrderListAdd");
}
bool WorkArea::OrderListClear() {
  return Unsupported("OrderListClear");
}
bool WorkArea::OrderListDelete(const std::string& /*bag_name*/) {
  return Unsupported("OrderListDelete");
}
bool WorkArea::OrderListFocus(const Value& /*order*/, std::string* /*previous_name*/) {
  return Unsupported("OrderListFocus");
}
bool WorkArea::OrderListRebuild() {
  return Unsupported("OrderListRebuild");
}
bool WorkArea::OrderCondition(const std::string& /*for_text*/) {
  return Unsupported("OrderCondition");
}
bool WorkArea::OrderCreate(const OrderCreateInfo& /*info*/) {
  return Unsupported("OrderCreate");
}
bool WorkArea::OrderDestroy(const Value& /*order*/) {
  return Unsupported("OrderDestroy");
}
bool WorkArea::OrderInfo(int /*query*/, const Value& /*order*/, const Value& /*arg*/,
                         Value* /*out*/) {
  return Unsupported("OrderInfo");
}
bool WorkArea::ClearLocate() {
  return Unsupported("ClearLocate");
}
bool WorkArea::ClearScope() {
  return Unsupported("ClearScope");
}
bool WorkArea::CountScope(uint32_t* /*out*/) {
  return Unsupported("CountScope");
}
bool WorkArea::ScopeInfo(int /*what*/, Value* /*out*/) {
  return Unsupported("ScopeInfo");
}
bool WorkArea::SetLocate(std::shared_ptr<const CodeBlock> /*condition*/) {
  return Unsupported("SetLocate");
}
bool WorkArea::SetScope(int /*what*/, const Value& /*value*/) {
  return Unsupported("SetScope");
}
bool WorkArea::SkipScope(int64_t /*n*/) {
  return Unsupported("SkipScope");
}
bool WorkArea::Compile(const std::string& /*text*/, std::shared_ptr<const CodeBlock>* /*out*/) {
  return Unsupported("Compile");
}
bool WorkArea::EvalBlock(const CodeBlock& /*block*/, Value* /*out*/) {
  return Unsupported("EvalBlock");
}
bool WorkArea::RawLock(LockAction /*action*/, uint32_t /*recno*/) {
  return Unsupported("RawLock");
}
bool WorkArea::Lock(LockMethod /*method*/, uint32_t /*recno*/, bool* /*result*/) {
  return Unsupported("Lock");
}
bool WorkArea::Unlock(uint32_t /*recno*/) {
  return Unsupported("Unlock");
}
bool WorkArea::CloseMemoFile() {
  return Unsupported("CloseMemoFile");
}
bool WorkArea::CreateMemoFile(const OpenInfo& /*info*/) {
  return Unsupported("CreateMemoFile");
}
bool WorkArea::GetValueFile(uint16_t /*field*/, const std::string& /*file_name*/) {
  return Unsupported("GetValueFile");
}
bool WorkArea::OpenMemoFile(const OpenInfo& /*info*/) {
  return Unsupported("OpenMemoFile");
}
bool WorkArea::PutValueFile(uint16_t /*field*/, const std::string& /*file_name*/) {
  return Unsupported("PutValueFile");
}
bool WorkArea::ReadDbHeader() {
  return Unsupported("ReadDbHeader");
}
bool WorkArea::WriteDbHeader() {
  return Unsupported("WriteDbHeader");
}

// --- The movement defaults, filter and close shared by every driver ---

bool WorkArea::Skip(int64_t n) {
  if (n == 0) return SkipRaw(0);
  top_ = bottom_ = false;
  const int direction = n > 0 ? 1 : -1;
  const uint64_t steps = n > 0 ? static_cast<uint64_t>(n) : 0 - static_cast<uint64_t>(n);
  for (uint64_t i = 0; i < steps; ++i) {
    if (!SkipRaw(direction)) return false;
    if (!SkipFilter(direction)) return false;
    if (bof_ || eof_) break;
  }
  SettleSkipFlags(n);
  return true;
}

void WorkArea::SettleSkipFlags(int64_t n) {
  if (n > 0) {
    bof_ = false;
  } else if (n < 0 && eof_) {
    // An area on the record past the end stays at end-of-file (a table whose records
    // are all hidden).
    uint32_t recno = 0, count = 0;
    if (RecNo(&recno) && RecCount(&count) && recno >= 1 && recno <= count) eof_ = false;
  }
}

bool WorkArea::SkipFilter(int direction) {
  const bool hide_deleted = GetSettings().deleted;
  if (!hide_deleted && filter_ == nullptr) return true;
  const int step = direction < 0 ? -1 : 1;
  const bool from_bottom = bottom_;
  while (!bof_ && !eof_) {
    bool visible = true;
    if (filter_ != nullptr) {
      const Value v = filter_->Eval();
      if (v.is_logical() && !v.logical()) visible = false;
    }
    if (visible && hide_deleted) {
      bool deleted = false;
      if (!Deleted(&deleted)) return false;
      visible = !deleted;
    }
    if (visible) break;
    if (!SkipRaw(step)) return false;
  }
  if (step < 0 && bof_) {
    if (from_bottom) {
      // Nothing visible from the bottom up: the area goes past the end.
      uint32_t count = 0;
      if (!RecCount(&count)) return false;
      return GoTo(count + 1);
    }
    if (!GoTop()) return false;
    bof_ = true;
  }
  return true;
}

bool WorkArea::SetFilter(std::shared_ptr<const CodeBlock> filter, const std::string& text) {
  filter_ = std::move(filter);
  filter_text_ = text;
  return true;
}

bool WorkArea::ClearFilter() {
  filter_.reset();
  filter_text_.clear();
  return true;
}

bool WorkArea::FilterText(std::string* out) {
  *out = filter_text_;
  return true;
}

bool WorkArea::NewArea() {
  return true;
}

bool WorkArea::Release() {
  return true;
}

bool WorkArea::Close() {
  ClearFilter();
  parent_relations_ = 0;
  if (!alias_.empty() && AliasArea(alias_) == area_number_ && area_number_ != 0) {
    UnregisterAlias(alias_);
  }
  alias_.clear();
  return true;
}

bool WorkArea::RegisterOpenAlias(const std::string& alias) {
  if (alias.empty()) return true;
  if (!RegisterAlias(alias, area_number_)) {
    Error e = Error::Make("DBCMD", kErrDupAlias, 1011);
    e.operation = alias;
    px::RaiseError(e);
    return false;
  }
  alias_ = NormalizeAlias(alias).substr(0, 32);
  return true;
}

bool Driver::Drop(const std::string& /*file_name*/) const {
  return false;
}
bool Driver::Exists(const std::string& /*file_name*/) const {
  return false;
}

namespace {

struct DriverTable {
  std::map<std::string, std::unique_ptr<Driver>> drivers;
  std::string default_name = "DBFNTX";
};

DriverTable& Drivers() {
  static DriverTable* table = new DriverTable();
  return *table;
}

std::string UpperName(const std::string& name) {
  std::string s = name.substr(0, 32);
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return s;
}

}  // namespace

void RegisterDriver(std::unique_ptr<Driver> driver) {
  const std::string name = UpperName(driver->Name());
  Drivers().drivers[name] = std::move(driver);
}

const Driver* FindDriver(const std::string& name) {
  auto it = Drivers().drivers.find(UpperName(name));
  return it == Drivers().drivers.end() ? nullptr : it->second.get();
}

std::string DefaultDriverName() {
  return Drivers().default_name;
}
void SetDefaultDriverName(const std::string& name) {
  Drivers().default_name = UpperName(name);
}

}  // namespace px
