// Fuzz entry point of the index layer: the input is split (fuzz_util.h SplitInput) into
// a table file and an index file. With an empty table part the index goes with a fixed
// table of 150 records made here (the seeds' indexes were built on the same records);
// otherwise both are fuzzed. The index is opened as an order, walked both ways, sought,
// counted and checked against the table; then, with the table exclusive, records are
// changed, appended and deleted so that keys are removed and inserted into a tree whose
// pages may be anything. Nothing may crash, loop or be reported sound when it is not.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "engine/ntx/ntx_area.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "runtime/date.h"
#include "runtime/error.h"
#include "runtime/settings.h"
#include "tests/fuzz/fuzz_util.h"
#include "tests/fuzz/ntx_fuzz_table.h"

namespace {

using px::Value;

void Walk(int limit) {
  px::DBGOTOP();
  for (int i = 0; i < limit && !px::EOF_(); ++i) px::DBSKIP(1);
  px::DBGOBOTTOM();
  for (int i = 0; i < limit && !px::BOF(); ++i) px::DBSKIP(-1);
  px::DBSKIP(7);
  px::DBSKIP(-3);
}

void Seeks() {
  px::DBSEEK(Value::String("C0042"));
  px::DBSEEK(Value::String("C01"), true);
  px::DBSEEK(Value::String("C01"), true, true);
  px::DBSEEK(Value::String("ZZZ"), true);
  px::DBSEEK(Value::String("SMITH"));
  px::DBSEEK(Value::Double(125.5));
  px::DBSEEK(Value::Date(px::DateFromYmd(2024, 3, 1)), true);
  px::DBSEEK(Value::String(""), true);
  px::DBORDERINFO(3);   // position of the current key
  px::DBORDERINFO(26);  // key count
}

void Check() {
  auto* area = dynamic_cast<px::NtxArea*>(px::CurrentArea());
  if (area != nullptr && area->order_count() > 0) area->CheckOrder(*area->order(1));
}

void Change(int f, uint32_t recno) {
  px::DBGOTO(recno);
  if (px::EOF_()) return;
  px::FIELDPUT(f, Value::String("C0001"));
  px::FIELDPUT(f, Value::Double(99.25));
  px::FIELDPUT(f, Value::Date(px::DateFromYmd(2030, 1, 1)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  px::InitEngine();
  px::ScopedErrorHandler quiet([](px::Error&) { return px::ErrorAnswer::Default(); });
  px::GetSettings().hard_commit = false;
  std::string_view dbf, ntx;
  px::fuzz::SplitInput(data, size, &dbf, &ntx);
  const std::string table = px::fuzz::ScratchFile("keys.dbf");
  const std::string index = px::fuzz::ScratchFile("keys.ntx");
  if (dbf.empty()) {
    px::fuzz::WriteFile(table, px::fuzz::FixedKeyTable());
  } else {
    px::fuzz::WriteFile(table, dbf);
  }
  px::fuzz::WriteFile(index, ntx);

  // Shared and read-only: every step under the index lock.
  if (px::DBUSEAREA(true, "", table, "KEYS", true, true)) {
    px::ORDLISTADD(index);
    Walk(400);
    Seeks();
    Check();
    px::DBCLOSEAREA();
  }
  // Exclusive: key maintenance on whatever tree the file holds.
  if (px::DBUSEAREA(true, "", table, "KEYS", false, false)) {
    px::ORDLISTADD(index);
    const int fields = px::FCOUNT() < 8 ? px::FCOUNT() : 8;
    const uint32_t count = px::RECCOUNT();
    for (int f = 1; f <= fields; ++f) {
      Change(f, 1);
      Change(f, count / 2);
      Change(f, count);
    }
    for (int i = 0; i < 3 && count < 100000; ++i) {
      if (!px::DBAPPEND()) break;
      if (fields >= 1) px::FIELDPUT(1, Value::String("C0042"));
    }
    px::DBGOTO(2);
    px::DBDELETE();
    px::DBCOMMIT();
    Walk(50);
    Seeks();
    Check();
    px::DBCLOSEAREA();
  }
  px::DBCLOSEALL();
  return 0;
}
