#include "tools/pxdb/catalogue_rebuild.h"

#include <memory>
#include <ostream>

#include "app/data/index_rebuild.h"
#include "tools/pxdb/catalogue_check.h"
#include "ui/dialog.h"
#include "ui/get.h"

namespace px::pxdb {

int RebuildCatalogueIndexes(InstallationSession& session, Io& io, bool pack) {
  const int boxes_before = session.message_boxes();
  const size_t errors_before = session.engine().errors().size();
  // The progress texts are shown in a read-only field, which the console prints
  // whenever it changes.
  std::string progress;
  std::shared_ptr<TDialog> window = TDialog::New({.caption = "Rebuilding Index Files"});
  std::shared_ptr<TGet> field =
      TGet::New({.var = BindString(&progress), .owner = window.get(), .read_only = true});
  window->Activate({.modal = false});
  if (pack) {
    INIT_IDX(false, false, window.get(), &progress, field.get());
  } else {
    RebuildIndexesOnly(&progress, field.get());
  }
  window->End();

  const std::vector<Error>& errors = session.engine().errors();
  for (size_t i = errors_before; i < errors.size(); ++i) {
    io.out << "error: " << Latin1ToUtf8(ERRORMESSAGE(errors[i])) << "\n";
  }
  const std::vector<std::string> unbuilt = UnbuiltMissingIndexes("");
  for (const std::string& line : unbuilt) io.out << Latin1ToUtf8(line) << "\n";
  return session.message_boxes() - boxes_before + static_cast<int>(errors.size() - errors_before) +
         static_cast<int>(unbuilt.size());
}

}  // namespace px::pxdb
