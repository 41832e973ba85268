#include "app/driver/serial_journal.h"

#include <cstdlib>
#include <vector>

#include "app/driver/open_by_alias.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"

namespace px {

namespace {

constexpr char kJournalDraft[] = "zzserial.tmp";

// "packed\tNAME\ncounter\tBEFORE\tAFTER\n"
bool ParseJournal(const std::string& text, SerialDraw* draw) {
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < text.size();) {
    const size_t end = text.find('\n', pos);
    if (end == std::string::npos) return false;
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  if (lines.size() != 2 || !lines[0].starts_with("packed\t") ||
      !lines[1].starts_with("counter\t")) {
    return false;
  }
  draw->packed_file = lines[0].substr(7);
  const std::string numbers = lines[1].substr(8);
  const size_t tab = numbers.find('\t');
  if (draw->packed_file.empty() || tab == std::string::npos) return false;
  char* end = nullptr;
  draw->before = std::strtoll(numbers.c_str(), &end, 10);
  if (end != numbers.c_str() + tab) return false;
  draw->after = std::strtoll(numbers.c_str() + tab + 1, &end, 10);
  return *end == '\0' && draw->after >= draw->before;
}

// Puts the counter back to `before` when it still stands at `after`.
bool RestoreCounter(const SerialDraw& draw) {
  if (!OpenByAlias("sysinfo", false)) return false;
  bool ok = false;
  const int counter = FIELDPOS("QUOSERIAL");
  if (counter > 0 && !EOF_() && RECLOCK(5)) {
    if (FIELDGET(counter).integer() == draw.after) {
      FIELDPUT(counter, Value::Integer(draw.before));
      DBCOMMIT();
    }
    DBUNLOCK();
    ok = true;
  }
  DBCLOSEAREA();
  return ok;
}

}  // namespace

bool NoteSerialDraw(const std::string& folder, const SerialDraw& draw) {
  const std::string text = "packed\t" + draw.packed_file + "\ncounter\t" +
                           std::to_string(draw.before) + "\t" + std::to_string(draw.after) + "\n";
  Env* env = GetEnv();
  if (!WriteWholeFile(folder + kJournalDraft, text) ||
      env->ReplaceFile(folder + kJournalDraft, folder + kSerialJournal) != kOsOk) {
    env->DeleteFile(folder + kJournalDraft);
    return false;
  }
  return true;
}

void ForgetSerialDraw(const std::string& folder) {
  GetEnv()->DeleteFile(folder + kSerialJournal);
}

bool UndoPendingSerialDraw() {
  Env* env = GetEnv();
  // A draft never became the journal: nothing was committed after it.
  if (env->FileExists(kJournalDraft)) env->DeleteFile(kJournalDraft);
  if (!env->FileExists(kSerialJournal)) return true;
  std::string text;
  SerialDraw draw;
  if (!ReadWholeFile(kSerialJournal, &text, /*exact_size=*/true) || !ParseJournal(text, &draw)) {
    return false;
  }
  if (env->FileExists(draw.packed_file)) {
    // The copy never replaced cqass: the rows it numbered are not in the table. The
    // counter goes back first, so that a copy still there says it has to.
    if (!RestoreCounter(draw) || env->DeleteFile(draw.packed_file) != kOsOk) return false;
  }
  return env->DeleteFile(kSerialJournal) == kOsOk;
}

}  // namespace px
