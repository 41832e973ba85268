#include "app/driver/rename_journal.h"

#include <memory>

#include "runtime/env.h"

namespace px {

namespace {

constexpr char kJournalDraft[] = "zzrename.tmp";
constexpr int kRetries = 5;

// Asks the OS to write a finished file to disk before it replaces an installed one.
bool SyncFile(const std::string& name, int* os_code) {
  std::unique_ptr<File> f =
      GetEnv()->OpenFile(name, FileAccess::kReadWrite, FileShare::kExclusive, os_code);
  return f != nullptr && f->Sync();
}

// An installed file that another program holds open cannot be replaced now.
bool Replaceable(const std::string& name, int* os_code) {
  Env* env = GetEnv();
  if (!env->FileExists(name)) return true;
  std::unique_ptr<File> f = env->OpenFile(name, FileAccess::kRead, FileShare::kExclusive, os_code);
  return f != nullptr;
}

int ReplaceWithRetries(const std::string& from, const std::string& to) {
  int code = 0;
  for (int attempt = 0; attempt < kRetries; ++attempt) {
    code = GetEnv()->ReplaceFile(from, to);
    if (code == kOsOk) return code;
    SleepSeconds(1);
  }
  return code;
}

std::string JournalText(const std::vector<PendingRename>& renames) {
  std::string text;
  for (const PendingRename& r : renames) text += r.from + '\t' + r.to + '\n';
  return text;
}

bool ParseJournal(const std::string& text, std::vector<PendingRename>* renames) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) return false;  // a line cut short: not a whole journal
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty()) continue;
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || tab + 1 == line.size()) return false;
    renames->push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return true;
}

}  // namespace

ReplaceOutcome ReplaceAsOne(const std::string& folder, const std::vector<PendingRename>& renames,
                            int* os_code) {
  *os_code = kOsOk;
  Env* env = GetEnv();
  for (const PendingRename& r : renames) {
    if (!SyncFile(folder + r.from, os_code) || !Replaceable(folder + r.to, os_code)) {
      if (*os_code == kOsOk) *os_code = kOsUnknown;
      return ReplaceOutcome::kUnchanged;
    }
  }
  // The journal appears whole or not at all.
  if (!WriteWholeFile(folder + kJournalDraft, JournalText(renames)) ||
      env->ReplaceFile(folder + kJournalDraft, folder + kRenameJournal) != kOsOk) {
    env->DeleteFile(folder + kJournalDraft);
    *os_code = kOsUnknown;
    return ReplaceOutcome::kUnchanged;
  }
  for (size_t i = 0; i < renames.size(); ++i) {
    const std::string from = folder + renames[i].from, to = folder + renames[i].to;
    const int code = i == 0 ? env->ReplaceFile(from, to) : ReplaceWithRetries(from, to);
    if (code != kOsOk) {
      *os_code = code;
      if (i == 0) {
        env->DeleteFile(folder + kRenameJournal);
        return ReplaceOutcome::kUnchanged;
      }
      return ReplaceOutcome::kPending;
    }
  }
  env->DeleteFile(folder + kRenameJournal);
  return ReplaceOutcome::kDone;
}

bool CompletePendingRenames(const std::string& folder) {
  Env* env = GetEnv();
  // A draft was never made the journal: nothing was renamed after it.
  if (env->FileExists(folder + kJournalDraft)) env->DeleteFile(folder + kJournalDraft);
  const std::string journal = folder + kRenameJournal;
  if (!env->FileExists(journal)) return true;
  std::string text;
  std::vector<PendingRename> renames;
  if (!ReadWholeFile(journal, &text, /*exact_size=*/true) || !ParseJournal(text, &renames))
    return false;
  for (const PendingRename& r : renames) {
    const std::string from = folder + r.from;
    if (!env->FileExists(from)) continue;  // done before the stop
    if (ReplaceWithRetries(from, folder + r.to) != kOsOk) return false;
  }
  return env->DeleteFile(journal) == kOsOk;
}

}  // namespace px
