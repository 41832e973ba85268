// Fuzz entry point of the memo layer: the input is split into a table file and its memo
// file (fuzz_util.h SplitInput). Every memo of every record is read, then memos are
// written over a few records, short and long, so that blocks are reused and appended in
// a memo file whose header and blocks may be anything. Nothing may crash or loop.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/error.h"
#include "runtime/settings.h"
#include "tests/fuzz/fuzz_util.h"

namespace {

// 1-based positions of the memo fields (at most 16).
std::string MemoFields() {
  std::string positions;
  const int fields = px::FCOUNT();
  for (int f = 1; f <= fields && positions.size() < 16; ++f) {
    if (px::FIELDGET(f).is_memo()) positions.push_back(static_cast<char>(f));
  }
  return positions;
}

void ReadMemos(uint32_t limit) {
  const uint32_t count = px::RECCOUNT();
  const int fields = px::FCOUNT();
  for (uint32_t r = 1; r <= count && r <= limit; ++r) {
    px::DBGOTO(r);
    for (int f = 1; f <= fields; ++f) px::FIELDGET(f);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  px::InitEngine();
  px::ScopedErrorHandler quiet([](px::Error&) { return px::ErrorAnswer::Default(); });
  px::GetSettings().hard_commit = false;
  std::string_view dbf, dbt;
  px::fuzz::SplitInput(data, size, &dbf, &dbt);
  const std::string table = px::fuzz::ScratchFile("memo.dbf");
  px::fuzz::WriteFile(table, dbf);
  px::fuzz::WriteFile(px::fuzz::ScratchFile("memo.dbt"), dbt);

  if (px::DBUSEAREA(true, "", table, "MEMO", false, true)) {
    ReadMemos(500);
    px::DBCLOSEAREA();
  }
  if (px::DBUSEAREA(true, "", table, "MEMO", false, false)) {
    const std::string memos = MemoFields();
    const uint32_t count = px::RECCOUNT();
    const std::string long_text(1500, 'x');
    for (uint32_t r = 1; r <= count && r <= 3; ++r) {
      px::DBGOTO(r);
      for (char f : memos) {
        px::FIELDPUT(f, px::Value::String("short"));
        px::FIELDPUT(f, px::Value::String(long_text));
        px::FIELDPUT(f, px::Value::String(""));
        px::FIELDPUT(f, px::Value::String("again"));
      }
    }
    if (count < 100000 && px::DBAPPEND()) {
      for (char f : memos) px::FIELDPUT(f, px::Value::String(long_text));
    }
    px::DBCOMMIT();
    ReadMemos(10);
    px::DBCLOSEAREA();
  }
  px::DBCLOSEALL();
  return 0;
}
