// The NTX-order layer: creating an index file from a key expression (ORDCREATE) and
// building a tree from the table's records.
#include <algorithm>

#include "engine/ntx/ntx_area.h"
#include "engine/ntx/table_key_source.h"
#include "runtime/dos_path.h"
#include "runtime/settings.h"

namespace px {

namespace {

using ntx::BuildStatus;
using ntx::KeySpec;
using ntx::Order;

// Longest order name kept at creation.
constexpr size_t kOrderNameLength = 10;

std::string TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t')) --n;
  return std::string(s.substr(0, n));
}

// The index file of a new order: the given name with ".ntx" when it has no extension,
// else the table's folder and base name with ".ntx"; a name without a folder goes to
// the default folder when one is set.
std::string NewIndexName(const std::string& given, const std::string& table) {
  std::string folder, file, base, ext;
  std::string name;
  if (!given.empty()) {
    SplitPath(given, &folder, &file);
    SplitExtension(file, &base, &ext);
    name = ext.empty() ? given + ".ntx" : given;
  } else {
    SplitPath(table, &folder, &file);
    SplitExtension(file, &base, &ext);
    name = folder + base + ".ntx";
  }
  SplitPath(name, &folder, &file);
  const std::string& default_folder = GetSettings().default_folder;
  if (folder.empty() && !default_folder.empty()) {
    const char last = default_folder.back();
    const bool separated = last == '\\' || last == '/' || last == ':';
    name = default_folder + (separated ? "" : "\\") + name;
  }
  return name;
}

std::string BaseName(const std::string& name) {
  std::string folder, file, base;
  SplitPath(name, &folder, &file);
  SplitExtension(file, &base, nullptr);
  return base;
}

}  // namespace

void NtxArea::CheckFatalBuildStatus(BuildStatus status) {
  if (status == BuildStatus::kNoRoom || status == BuildStatus::kNoTempFile) {
    UnrecoverableError(9000, ntx::BuildStatusText(status));
  }
}

BuildStatus NtxArea::BuildInto(File* file, ntx::NtxHeader* header, const KeySpec& spec) {
  uint32_t count = 0;
  RecCount(&count);
  TableKeySource source(this, spec, TableKeySource::Mode::kBuild);
  const BuildStatus status = ntx::BuildIndex(file, header, count, source, build_options_);
  CheckFatalBuildStatus(status);
  if (status == BuildStatus::kWriteError) {
    RaiseIndexError(kErrWrite, ntx::kSubWritePage, file->os_error(), file->host_path());
  }
  return status;
}

bool NtxArea::OrderCreate(const OrderCreateInfo& info) {
  if (!is_open()) return false;
  if (!GoCold()) return false;
  CloseOrders();

  const std::string for_text = pending_for_;
  pending_for_.clear();
  KeySpec spec;
  if (!CompileKeySpec(&spec, info.key_text, info.key_block, for_text)) return false;

  // The key of the current record fixes type, size and decimals.
  Value first;
  if (!EvalKey(spec, &first)) return false;
  const char type = ntx::KeyTypeOf(first);
  if (type == 0) return false;
  int size = 0;
  int decimals = 0;
  if (first.is_number()) {
    decimals = std::max(0, first.decimals());
    size = first.width() + (decimals > 0 ? decimals + 1 : 0);
  } else if (first.is_date()) {
    size = 8;
  } else if (first.is_logical()) {
    size = 1;
  } else {
    size = static_cast<int>(std::min<size_t>(first.str().size(), ntx::kMaxKeySize));
  }
  if (size <= 0 || size > ntx::kMaxKeySize) {
    Error e = Error::Make("", kErrDataWidth, 1026);
    e.can_default = true;
    RaiseError(e);
    return false;
  }
  spec.key_type = type;
  spec.key_size = size;
  spec.key_decimals = decimals;

  const std::string file_name = NewIndexName(TrimRight(info.bag_name), this->file_name());
  const std::string given_name = TrimRight(info.order_name).substr(0, kOrderNameLength);

  ntx::NtxHeader header;
  header.key_size = size;
  header.key_decimals = decimals;
  header.max_keys = ntx::MaxKeysPerPage(size);
  header.key_text = info.key_text;
  header.for_text = for_text;
  header.order_name = given_name;
  header.unique = info.unique.value_or(GetSettings().unique);
  if (header.key_text.size() > ntx::kMaxTextLength ||
      header.for_text.size() > ntx::kMaxTextLength) {
    // The header holds at most 255 characters of either text.
    RaiseIndexError(kErrLimit, ntx::kSubTextTooLong, 0, file_name);
    return false;
  }

  const uint32_t at = current_recno();
  const bool bof = bof_, eof = eof_;
  uint32_t count = 0;
  RecCount(&count);
  TableKeySource source(this, spec, TableKeySource::Mode::kBuild);
  BuildStatus status = BuildStatus::kOk;
  std::unique_ptr<File> file =
      ntx::CreateIndexFile(file_name, shared() ? FileShare::kDenyNone : FileShare::kExclusive,
                           &header, count, source, build_options_, &status);
  CheckFatalBuildStatus(status);
  if (file == nullptr) {
    if (status == BuildStatus::kWriteError) {
      RaiseIndexError(kErrWrite, ntx::kSubWritePage, 0, file_name);
    } else if (status == BuildStatus::kReadError) {
      RaiseIndexError(kErrRead, ntx::kSubReadPage, 0, file_name);
    }
    // The record buffer holds whatever the build read last.
    NtxBaseArea::GoTo(at);
    bof_ = bof;
    eof_ = eof;
    return false;
  }

  auto index = std::make_unique<ntx::IndexFile>(std::move(file), file_name, shared());
  index->SetHeader(header);
  index->RefreshLastPage();
  auto order = std::make_unique<Order>();
  order->spec = std::move(spec);
  order->name = given_name.empty() ? BaseName(file_name) : given_name;
  order->number = 1;
  order->file_name = file_name;
  order->unique = header.unique;
  order->tree = MakeTree(std::move(index));
  order->written = true;
  orders_.push_back(std::move(order));
  controlling_ = orders_.back().get();
  return GoTop();
}

}  // namespace px
