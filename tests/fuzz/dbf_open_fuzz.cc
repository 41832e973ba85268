// Fuzz entry point: opens the input as a table file (beside a valid memo file), reads
// every field of every record, moves around, then appends a record and writes its
// fields. Whatever the bytes, this must end without a crash, a sanitizer report or an
// endless loop; errors are answered with default.
#include <cstdint>
#include <string>

#include "engine/engine.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/error.h"
#include "runtime/settings.h"
#include "tests/fuzz/fuzz_util.h"

namespace {

void ReadEverything(uint32_t limit) {
  const int fields = px::FCOUNT();
  const uint32_t count = px::RECCOUNT();
  for (uint32_t r = 1; r <= count && r <= limit; ++r) {
    px::DBGOTO(r);
    for (int f = 1; f <= fields; ++f) px::FIELDGET(f);
    px::DELETED();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  px::InitEngine();
  px::ScopedErrorHandler quiet([](px::Error&) { return px::ErrorAnswer::Default(); });
  px::GetSettings().hard_commit = false;  // no disk flushes: faster runs
  const std::string table = px::fuzz::ScratchFile("fuzz.dbf");
  px::fuzz::WriteFile(table, data, size);
  uint8_t memo[512] = {1};
  px::fuzz::WriteFile(px::fuzz::ScratchFile("fuzz.dbt"), memo, sizeof memo);

  // Read-only first.
  if (px::DBUSEAREA(true, "", table, "FUZZ", false, true)) {
    ReadEverything(2000);
    px::DBGOTOP();
    px::DBSKIP(3);
    px::DBGOBOTTOM();
    px::DBSKIP(-2);
    px::GetSettings().deleted = true;
    px::DBGOTOP();
    px::DBSKIP(2);
    px::GetSettings().deleted = false;
    px::DBCLOSEAREA();
  }
  // Then writing: an appended record with every field set.
  if (px::DBUSEAREA(true, "", table, "FUZZ", false, false)) {
    if (px::RECCOUNT() < 100000 && px::DBAPPEND()) {
      const int fields = px::FCOUNT();
      for (int f = 1; f <= fields; ++f) {
        px::FIELDPUT(f, px::Value::String("fuzz"));
        px::FIELDPUT(f, px::Value::Double(-12.345));
        px::FIELDPUT(f, px::Value::Integer(7));
        px::FIELDPUT(f, px::Value::Logical(true));
        px::FIELDPUT(f, px::Value::Date(2451545));
      }
      px::DBDELETE();
    }
    px::DBCOMMIT();
    ReadEverything(10);
    px::DBCLOSEAREA();
  }
  px::DBCLOSEALL();
  return 0;
}
