// INIT_IDX: rebuilding every index file named in the catalogue.
//
// The catalogue is held exclusively only while its own index is rebuilt and its
// records are read into the rebuild list; then each record is handled by itself: its
// table is opened exclusively through OPNALIAS (which opens the catalogue again shared
// for the look-up), emptied and packed when the record says so, and its index created
// from the key text stored with it. A table with three indexes is therefore opened
// three times.
#include "app/data/index_rebuild.h"

#include <memory>
#include <vector>

#include "app/data/catalogue.h"
#include "app/data/catalogue_fields.h"
#include "app/data/show_progress.h"
#include "engine/expr/block.h"
#include "engine/expr/eval_text.h"
#include "engine/ntx/ntx_area.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/maintenance.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "runtime/error.h"
#include "runtime/memvars.h"
#include "ui/messages.h"

namespace px {

namespace {

// One catalogue record as the rebuild needs it.
struct RebuildEntry {
  std::string alias;
  std::string index;
  std::string key_text;
  std::string folder;
  bool pack = false;  // PACK, but never for a table of the shipped library
  bool zap = false;
  bool skip = false;  // NOINDEX
};

// The key of the catalogue's own index: the field DB_ALIAS of the area INDEXDEF.
std::shared_ptr<const CodeBlock> CatalogueKeyBlock() {
  return std::make_shared<const CodeBlock>(
      [](const std::vector<Value>&) { return AliasFieldGet(kCatalogueAlias, "DB_ALIAS"); },
      std::string(kCatalogueKeyText));
}

// The visible records of the catalogue in the current area, in record order.
std::vector<RebuildEntry> ReadRebuildList() {
  std::vector<RebuildEntry> list;
  const bool has_noindex = FIELDPOS("noindex") != 0;
  for (DBGOTOP(); !EOF_(); DBSKIP(1)) {
    RebuildEntry entry;
    entry.alias = CatalogueText("DB_ALIAS");
    entry.index = CatalogueText("IN_NAME");
    entry.key_text = CatalogueText("IN_STR");
    entry.folder = CatalogueText("PATH");
    entry.pack = CatalogueFlag("PACK") && !CatalogueFlag("LIB");
    entry.zap = CatalogueFlag("ZAPONINIT");
    entry.skip = has_noindex && CatalogueFlag("NOINDEX");
    list.push_back(std::move(entry));
  }
  return list;
}

// Creates the entry's index on the table in the current area. The key is the text of
// TINDEXKEY evaluated per record (a plain field name is read straight from the record).
void CreateEntryIndex(const RebuildEntry& entry, MemVars& vars) {
  const std::string bag = entry.folder + entry.index;
  vars.Set("THEINDEX", Value::String(bag));
  vars.Set("TINDEXKEY", Value::String(entry.key_text));
  // A key text that does not parse is reported once, here, instead of once per record;
  // the table keeps its records and the rebuild goes on.
  if (expr::CompileOrRaise(entry.key_text) == nullptr) return;
  DBCREATEINDEX(bag, entry.key_text, expr::TextKeyBlock("TINDEXKEY"), false);
}

// Whether indexdef.ntx opens on the catalogue in the current area and holds exactly
// its keys.
bool CatalogueIndexAgrees() {
  auto* area = dynamic_cast<NtxArea*>(CurrentArea());
  if (area == nullptr || !GetEnv()->FileExists(std::string(kCatalogueFile) + ".ntx")) return false;
  ORDLISTADD(kCatalogueFile);
  if (area->order_count() != 1) return false;
  ntx::Order& order = *area->order(1);
  return UpperText(TrimRight(order.spec.key_text)) == UpperText(kCatalogueKeyText) &&
         area->CheckOrder(order).ok();
}

}  // namespace

bool RepairCatalogueIndex() {
  QuietErrors quiet;
  const int selected = SELECT();
  DBSELECTAREA(0);
  bool agrees = false;
  // Exclusive: a catalogue another workstation uses is left as it is.
  if (DBUSEAREA(false, "", kCatalogueFile, kCatalogueAlias, false, false)) {
    agrees = CatalogueIndexAgrees() && !quiet.failed();
    if (!agrees) {
      ORDLISTCLEAR();
      quiet.Reset();
      DBCREATEINDEX(kCatalogueFile, kCatalogueKeyText, CatalogueKeyBlock(), false);
      agrees = !quiet.failed() && CatalogueIndexAgrees() && !quiet.failed();
    }
    DBCLOSEAREA();
  }
  DBSELECTAREA(selected);
  return agrees;
}

namespace {

void RebuildFromCatalogue(bool zap, bool pack, std::string* message, TControl* control) {
  ScopedMemVars working;
  working.Create("THEINDEX", Value::String(""));
  working.Create("TINDEXKEY", Value::String(""));
  MemVars& vars = GetMemVars();

  CURSORWAIT();
  DBCLOSEALL();
  if (!NETUSE(kCatalogueFile, true, 2)) {
    MSGALERT("Indexdef Data file Not Available.  Try again later.");
    return;
  }

  ShowProgress(message, control, "Indexing INDEXDEF");
  DBCREATEINDEX(kCatalogueFile, kCatalogueKeyText, CatalogueKeyBlock(), false);
  ORDLISTCLEAR();

  ShowProgress(message, control, "Preparing Array of Databases");
  const std::vector<RebuildEntry> list = ReadRebuildList();
  DBCLOSEAREA();

  for (const RebuildEntry& entry : list) {
    if (!entry.skip && OPNALIAS(entry.alias, true, false)) {
      ShowProgress(message, control,
                   "Indexing " + UpperText(entry.alias) + " To " + UpperText(entry.index));
      if (zap && entry.zap) DBZAP();
      if (pack && entry.pack) DBPACK();
      if (!entry.index.empty()) CreateEntryIndex(entry, vars);
    }
    DBCLOSEAREA();
  }
  DBCLOSEALL();
}

}  // namespace

void INIT_IDX(bool /*ignored*/, bool zap, TDialog* /*window*/, std::string* message,
              TControl* control) {
  RebuildFromCatalogue(zap, true, message, control);
}

void RebuildIndexesOnly(std::string* message, TControl* control) {
  RebuildFromCatalogue(false, false, message, control);
}

}  // namespace px
