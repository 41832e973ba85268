// The NTX-order layer: opening and closing orders, focus, flush and close, key
// evaluation and the order information queries. Navigation is in ntx_navigate.cc, key
// maintenance, pack and zap in ntx_maintain.cc, index creation in ntx_create.cc.
#include "engine/ntx/ntx_area.h"

#include <algorithm>

#include "engine/dbf/field_codec.h"
#include "engine/expr/block.h"
#include "engine/expr/eval_text.h"
#include "engine/expr/evaluator.h"
#include "engine/expr/str_format.h"
#include "engine/expr/workarea_context.h"
#include "engine/workarea/registry.h"
#include "runtime/dos_path.h"
#include "runtime/settings.h"

namespace px {

namespace {

using ntx::IndexFile;
using ntx::IndexLock;
using ntx::KeySpec;
using ntx::KeyTree;
using ntx::Order;

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = UpperAscii(c);
  return out;
}

std::string TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t')) --n;
  return std::string(s.substr(0, n));
}

// Joins a folder and a file name.
std::string JoinFolder(const std::string& folder, const std::string& file) {
  if (folder.empty()) return file;
  const char last = folder.back();
  if (last == '\\' || last == '/' || last == ':') return folder + file;
  return folder + "\\" + file;
}

// An index file named without a folder is looked for in the default folder, then along
// the search path, as tables are; else the name is used as given.
std::string FindExistingIndex(const std::string& name) {
  std::string folder, file;
  SplitPath(name, &folder, &file);
  if (!folder.empty()) return name;
  const Settings& s = GetSettings();
  Env* env = GetEnv();
  if (!s.default_folder.empty()) {
    const std::string candidate = JoinFolder(s.default_folder, file);
    if (env->FileExists(candidate)) return candidate;
  }
  std::string dir;
  for (size_t i = 0; i <= s.path.size(); ++i) {
    if (i == s.path.size() || s.path[i] == ';' || s.path[i] == ',') {
      if (!dir.empty() && env->FileExists(JoinFolder(dir, file))) return JoinFolder(dir, file);
      dir.clear();
    } else {
      dir += s.path[i];
    }
  }
  return name;
}

std::string BaseName(const std::string& name) {
  std::string folder, file, base;
  SplitPath(name, &folder, &file);
  SplitExtension(file, &base, nullptr);
  return base;
}

// Makes the area current for the life of the object, so that expressions evaluated
// meanwhile see its fields.
class AreaSelection {
 public:
  explicit AreaSelection(uint16_t area) : saved_(CurrentAreaNumber()) {
    if (area != 0 && area != saved_) {
      DBSELECTAREA(static_cast<int>(area));
      changed_ = true;
    }
  }
  ~AreaSelection() {
    if (changed_) DBSELECTAREA(static_cast<int>(saved_));
  }
  AreaSelection(const AreaSelection&) = delete;
  AreaSelection& operator=(const AreaSelection&) = delete;

 private:
  uint16_t saved_;
  bool changed_ = false;
};

}  // namespace

namespace ntx {

const StrFormatter& KeyStrFormatter() {
  static const StrFormatter* str = new StrFormatter(
      [](const Value& number, int width, int decimals) { return STR(number, width, decimals); });
  return *str;
}

std::string KeyBytes(const KeySpec& spec, const Value& value) {
  const size_t size = static_cast<size_t>(spec.key_size);
  std::string key;
  if (!KeyFromValue(value, spec.key_size, spec.key_decimals, false, KeyStrFormatter(), &key)) {
    key.clear();
  }
  key.resize(size, ' ');
  return key;
}

}  // namespace ntx

NtxArea::NtxArea() : NtxBaseArea("DBFNTX") {}

NtxArea::~NtxArea() {
  if (is_open()) {
    NtxArea::Close();
  } else {
    CloseOrders();
  }
}

bool NtxArea::SysName(std::string* out) {
  *out = "DBFNTX";
  return true;
}

bool NtxArea::StructSize(uint16_t* out) {
  *out = static_cast<uint16_t>(sizeof(NtxArea));
  return true;
}

void NtxArea::RaiseIndexError(int gen_code, int sub_code, int os_code, const std::string& file) {
  Error e = Error::Make("", gen_code, sub_code);
  e.os_code = os_code;
  e.filename = file;
  e.can_default = true;
  RaiseError(e);
}

// --- Evaluation ---

bool NtxArea::EvalKey(const KeySpec& spec, Value* out) {
  if (spec.field != nullptr) {
    if (!EnsureRecord()) return false;
    *out = DecodeField(*spec.field, record_buffer().data() + spec.field->offset);
    return true;
  }
  if (spec.key_program == nullptr && spec.key_block == nullptr) return false;
  AreaSelection selection(area_number());
  if (spec.key_program != nullptr) {
    expr::WorkAreaContext ctx;
    expr::Run(*spec.key_program, ctx, out);
  } else {
    *out = spec.key_block->Eval();
  }
  return true;
}

bool NtxArea::ForOk(const KeySpec& spec) {
  if (spec.for_block == nullptr) return true;
  AreaSelection selection(area_number());
  const Value v = spec.for_block->Eval();
  return !(v.is_logical() && !v.logical());
}

bool NtxArea::MakeKey(const KeySpec& spec, std::string* key) {
  if (spec.field != nullptr && spec.field->kind == 'C' &&
      spec.field->len == static_cast<uint32_t>(spec.key_size)) {
    if (!EnsureRecord()) return false;
    key->assign(record_buffer(), spec.field->offset, spec.field->len);
    return true;
  }
  Value v;
  if (!EvalKey(spec, &v)) return false;
  *key = ntx::KeyBytes(spec, v);
  return true;
}

bool NtxArea::RecordKey(Order& order, std::string* key, bool* for_ok) {
  *for_ok = ForOk(order.spec);
  return MakeKey(order.spec, key);
}

const DbfField* NtxArea::KeyField(const std::string& key_text) const {
  const std::string upper = Upper(key_text);
  for (const DbfField& f : fields()) {
    if (f.name == upper) return &f;
  }
  return nullptr;
}

bool NtxArea::CompileKeySpec(KeySpec* spec, const std::string& key_text,
                             std::shared_ptr<const CodeBlock> block, const std::string& for_text) {
  spec->key_text = key_text;
  spec->field = KeyField(key_text);
  spec->key_block = std::move(block);
  spec->key_program.reset();
  if (spec->key_block == nullptr) {
    spec->key_program = expr::CompileOrRaise(key_text);
    if (spec->key_program == nullptr) return false;
  }
  spec->for_text = for_text;
  spec->for_block.reset();
  if (!for_text.empty()) {
    spec->for_block = expr::CompileBlock(for_text);
    if (spec->for_block == nullptr) return false;
  }
  return true;
}

std::unique_ptr<KeyTree> NtxArea::MakeTree(std::unique_ptr<IndexFile> file) {
  file->set_error_sink([this](Error& e) { return RaiseError(e); });
  return std::make_unique<KeyTree>(std::move(file));
}

// --- Opening and closing ---

bool NtxArea::OrderListAdd(const std::string& bag_name, const std::string& /*order_name*/) {
  if (!is_open()) return false;
  const std::string name = TrimRight(bag_name);
  if (name.empty()) return true;
  return OpenOrder(name);
}

bool NtxArea::OpenOrder(const std::string& bag_name) {
  std::string folder, file, base, ext;
  SplitPath(bag_name, &folder, &file);
  SplitExtension(file, &base, &ext);
  const std::string name = FindExistingIndex(ext.empty() ? bag_name + ".ntx" : bag_name);

  const FileAccess access = shared() || !read_only() ? FileAccess::kReadWrite : FileAccess::kRead;
  const FileShare share = shared() ? FileShare::kDenyNone : FileShare::kExclusive;
  std::unique_ptr<File> f;
  for (;;) {
    int os_code = 0;
    f = GetEnv()->OpenFile(name, access, share, &os_code);
    if (f != nullptr) break;
    Error e = Error::Make("", kErrOpen, 1003);
    e.os_code = os_code;
    e.filename = name;
    e.can_retry = e.can_default = true;
    if (!RaiseError(e).retry()) {
      CloseOrders();
      return false;
    }
  }
  const int64_t size = f->Size();
  auto index = std::make_unique<IndexFile>(std::move(f), name, shared());
  if (!index->ReadHeader()) {
    // A header cut short fails quietly; one whose sizes make no sense is reported.
    if (size >= static_cast<int64_t>(ntx::kHeaderReadSize)) {
      RaiseIndexError(kErrCorruption, ntx::kSubDamagedPage, 0, name);
    }
    return false;
  }
  auto order = std::make_unique<Order>();
  const ntx::NtxHeader& h = index->header();
  if (!CompileKeySpec(&order->spec, h.key_text, nullptr, h.for_text)) return false;
  order->spec.key_type = 'C';
  order->spec.key_size = h.key_size;
  order->spec.key_decimals = h.key_decimals;
  order->name = h.order_name.empty() ? BaseName(name) : h.order_name;
  order->file_name = name;
  order->unique = h.unique;
  order->descending = h.descending;
  order->custom = h.custom;
  order->number = orders_.empty() ? 1 : orders_.back()->number + 1;
  order->tree = MakeTree(std::move(index));

  const bool first = orders_.empty();
  orders_.push_back(std::move(order));
  if (controlling_ == nullptr) controlling_ = orders_.back().get();
  if (first) return GoTop();
  return true;
}

void NtxArea::CloseOrders() {
  const bool commit = GetSettings().hard_commit;
  for (auto& o : orders_) {
    o->file().Flush(commit && o->written);
  }
  orders_.clear();
  controlling_ = nullptr;
  pending_insert_ = false;
}

bool NtxArea::OrderListClear() {
  if (!is_open()) return false;
  CloseOrders();
  return true;
}

bool NtxArea::Close() {
  bool ok = true;
  if (is_open()) ok = GoCold();
  CloseOrders();
  return NtxBaseArea::Close() && ok;
}

bool NtxArea::Flush() {
  if (!is_open()) return false;
  bool ok = GoCold();
  ok = NtxBaseArea::Flush() && ok;
  const bool commit = GetSettings().hard_commit;
  for (auto& o : orders_) {
    if (!o->written) continue;
    ok = o->file().Flush(commit) && ok;
    o->written = false;
  }
  return ok;
}

// --- Focus ---

Order* NtxArea::order(int number) {
  for (auto& o : orders_) {
    if (o->number == number) return o.get();
  }
  return nullptr;
}

Order* NtxArea::FindOrder(const Value& which) {
  if (which.is_nil()) return controlling_;
  if (which.is_number()) {
    const int64_t n = which.integer();
    return n >= 1 && n <= 65535 ? order(static_cast<int>(n)) : nullptr;
  }
  if (which.is_string()) {
    const std::string wanted = Upper(TrimRight(which.str()));
    for (auto& o : orders_) {
      if (Upper(o->name) == wanted) return o.get();
    }
  }
  return nullptr;
}

bool NtxArea::OrderListFocus(const Value& which, std::string* previous_name) {
  *previous_name = controlling_ != nullptr ? controlling_->name : std::string();
  if (!is_open()) return false;
  if (which.is_number() && which.integer() == 0) {
    controlling_ = nullptr;
    return true;
  }
  if (which.is_nil()) return true;
  if (Order* o = FindOrder(which)) controlling_ = o;
  return true;
}

bool NtxArea::OrderCondition(const std::string& for_text) {
  pending_for_ = TrimRight(for_text);
  return true;
}

// --- Scopes ---

bool NtxArea::SearchBytes(const Order& o, const Value& value, std::string* out) {
  if (value.is_string()) {
    out->assign(value.str(), 0, std::min(value.str().size(), static_cast<size_t>(o.spec.key_size)));
    return true;
  }
  return ntx::KeyFromValue(value, o.spec.key_size, o.spec.key_decimals, true,
                           ntx::KeyStrFormatter(), out);
}

bool NtxArea::SetScope(int what, const Value& value) {
  if (controlling_ == nullptr) return true;
  Order& o = *controlling_;
  std::optional<std::string>& bytes = what == 0 ? o.top_scope : o.bottom_scope;
  Value& kept = what == 0 ? o.top_scope_value : o.bottom_scope_value;
  if (value.is_nil()) {
    bytes.reset();
    kept = Value();
    return true;
  }
  std::string b;
  if (!SearchBytes(o, value, &b)) {
    Error e = Error::Make("", kErrDataType, 1020);
    e.can_default = true;
    RaiseError(e);
    return false;
  }
  bytes = std::move(b);
  kept = value;
  return true;
}

bool NtxArea::ScopeInfo(int what, Value* out) {
  *out = Value();
  if (controlling_ == nullptr) return true;
  *out = what == 0 ? controlling_->top_scope_value : controlling_->bottom_scope_value;
  return true;
}

bool NtxArea::ClearScope() {
  if (controlling_ == nullptr) return true;
  controlling_->top_scope.reset();
  controlling_->bottom_scope.reset();
  controlling_->top_scope_value = Value();
  controlling_->bottom_scope_value = Value();
  return true;
}

// --- Order information ---

bool NtxArea::OrderInfo(int query, const Value& which, const Value& /*arg*/, Value* out) {
  *out = Value();
  if (query == 8) {
    *out = Value::String(".ntx");
    return true;
  }
  Order* o = FindOrder(which);
  if (o == nullptr) {
    switch (query) {
      case 1:
      case 2:
      case 5:
      case 7:
        *out = Value::String("");
        break;
      case 3: {
        uint32_t recno = 0;
        RecNo(&recno);
        *out = Value::Integer(recno);
        break;
      }
      case 26: {
        uint32_t count = 0;
        RecCount(&count);
        *out = Value::Integer(count);
        break;
      }
      case 6:
      case 9:
        *out = Value::Integer(0);
        break;
      case 11:
      case 12:
      case 13:
      case 36:
      case 37:
      case 45:
        *out = Value::Logical(false);
        break;
      default:
        break;
    }
    return true;
  }
  switch (query) {
    case 1:
      *out = Value::String(o->spec.for_text);
      return true;
    case 2:
      *out = Value::String(o->spec.key_text);
      return true;
    case 3: {
      uint32_t pos = 0;
      if (!eof_ && !on_phantom()) {
        if (!SyncCurrentKey(*o)) return false;
        IndexLock lock(&o->file());
        if (!lock.ok() || !o->tree->Position(&pos)) pos = 0;
      }
      *out = Value::Integer(pos);
      return true;
    }
    case 5:
      *out = Value::String(o->name);
      return true;
    case 6:
      *out = Value::Integer(o->number);
      return true;
    case 7:
      *out = Value::String(o->file_name);
      return true;
    case 9:
      *out = Value::Integer(static_cast<int64_t>(orders_.size()));
      return true;
    case 11:
      *out = Value::Logical(!o->spec.for_text.empty());
      return true;
    case 12:
      *out = Value::Logical(o->descending);
      return true;
    case 13:
      *out = Value::Logical(o->unique);
      return true;
    case 26: {
      uint32_t count = 0;
      IndexLock lock(&o->file());
      if (!lock.ok() || !o->tree->Count(&count)) return false;
      *out = Value::Integer(count);
      return true;
    }
    case 36:
    case 37: {
      bool done = false;
      uint32_t recno = 0;
      RecNo(&recno);
      std::string key;
      if (!on_phantom() && recno != 0 && GoCold() && MakeKey(o->spec, &key)) {
        IndexLock lock(&o->file());
        if (lock.ok() && query == 36) {
          // A key that is there already is not added twice.
          done = o->tree->Find(reinterpret_cast<const uint8_t*>(key.data()), recno) ==
                     KeyTree::Found::kNone &&
                 InsertKey(*o, key, recno);
        } else if (lock.ok()) {
          done = RemoveKey(*o, key, recno) == KeyTree::Removed::kOk;
        }
        o->tree->ForgetCurrent();
        o->written = o->written || done;
      }
      *out = Value::Logical(done);
      return true;
    }
    case 39:
      *out = o->top_scope_value;
      return true;
    case 40:
      *out = o->bottom_scope_value;
      return true;
    case 41:
    case 42: {
      const bool top = query == 41;
      *out = top ? o->top_scope_value : o->bottom_scope_value;
      (top ? o->top_scope : o->bottom_scope).reset();
      (top ? o->top_scope_value : o->bottom_scope_value) = Value();
      return true;
    }
    case 45:
      *out = Value::Logical(o->custom);
      return true;
    default:
      return Unsupported("OrderInfo");
  }
}

}  // namespace px
