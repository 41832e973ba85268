// Rebuilding every index file named in the table catalogue.
#ifndef PX_APP_DATA_INDEX_REBUILD_H_
#define PX_APP_DATA_INDEX_REBUILD_H_

#include <functional>
#include <string>

namespace px {

// Where INIT_IDX shows its progress: it assigns the text and asks the message control
// to show it again (the update driver binds these to its rebuild window's field).
struct ProgressSink {
  std::function<void(const std::string&)> set_text;
  std::function<void()> refresh;
};

// Rebuilds the catalogue's own index, then, record by record, opens each table
// exclusively, empties it (only when zap and the record's ZAPONINIT allow), packs it
// (PACK without LIB) and creates the index named by the record. The first argument is
// ignored, as in the system; the window is not needed here.
void INIT_IDX(bool ignored, bool zap, const ProgressSink& progress);

}  // namespace px

#endif  // PX_APP_DATA_INDEX_REBUILD_H_
