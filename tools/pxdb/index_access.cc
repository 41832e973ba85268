#include "tools/pxdb/index_access.h"

#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/dos_path.h"
#include "runtime/env.h"

namespace px::pxdb {

NtxArea* OpenIndexedTable(const std::string& file, const std::string& index,
                          const GlobalOptions& options, EngineSession& session,
                          std::string* message) {
  if (OpenTable(file, options, /*read_only=*/true, session, message) == nullptr) return nullptr;
  auto* area = dynamic_cast<NtxArea*>(CurrentArea());
  if (area == nullptr) {
    *message = "the table's driver has no orders";
    return nullptr;
  }
  ORDLISTADD(index);
  if (area->order_count() != 1) {
    *message = session.failed() ? session.FirstError()
                                : "cannot open the index " + Latin1ToUtf8(index) +
                                      " (its header is cut short or unreadable)";
    return nullptr;
  }
  if (session.failed()) {
    *message = session.FirstError();
    return nullptr;
  }
  return area;
}

ntx::VerifyReport VerifyIndexFile(const std::string& index) {
  std::string folder, file, base, ext;
  SplitPath(index, &folder, &file);
  SplitExtension(file, &base, &ext);
  const std::string name = ext.empty() ? index + ".ntx" : index;
  int code = 0;
  std::unique_ptr<File> f =
      GetEnv()->OpenFile(name, FileAccess::kRead, FileShare::kDenyNone, &code);
  if (f == nullptr) return ntx::VerifyReport();
  return ntx::VerifyIndex(f.get());
}

}  // namespace px::pxdb
