// Rebuilding every index file named in the table catalogue.
#ifndef PX_APP_DATA_INDEX_REBUILD_H_
#define PX_APP_DATA_INDEX_REBUILD_H_

#include <string>

namespace px {

class TControl;
class TDialog;

// Rebuilds the catalogue's own index, then, record by record, opens each table
// exclusively, empties it (only when zap and the record's ZAPONINIT allow), packs it
// (PACK without LIB) and creates the index named by the record. The first argument is
// ignored. Progress texts are assigned to *message and shown by refreshing `control`
// (the update driver passes its index rebuild window's field); window and control may
// be null, and so may message.
void INIT_IDX(bool ignored, bool zap, TDialog* window, std::string* message, TControl* control);

// What INIT_IDX does with both flags false, except that no table is packed either: the
// tables keep every byte (a restored backup stays as it was saved).
void RebuildIndexesOnly(std::string* message, TControl* control);

// Every table is found through the catalogue's index, which an update stopped part-way
// may leave damaged (killed while INIT_IDX rebuilt it) or out of step with the
// catalogue (killed after the migration put a shipped catalogue in place). Checks
// indexdef.ntx against indexdef.dbf in the current folder and rebuilds it when it is
// missing, unreadable or disagrees, unless another workstation has the catalogue open.
// Errors on the way are not reported. True when the index agrees afterwards.
bool RepairCatalogueIndex();

}  // namespace px

#endif  // PX_APP_DATA_INDEX_REBUILD_H_
