#include "tools/pxdb/installation.h"

#include "app/driver/rename_journal.h"
#include "runtime/env.h"
#include "ui/backend.h"
#include "ui/console_backend.h"

namespace px::pxdb {

// The console user interface, counting the message boxes it shows.
class CountingConsole : public ConsoleBackend {
 public:
  explicit CountingConsole(std::ostream* out) : ConsoleBackend(MakeOptions(out)) {}
  void MessageBox(MessageIcon icon, const std::string& text, const std::string& caption) override {
    ++boxes_;
    ConsoleBackend::MessageBox(icon, text, caption);
  }
  int boxes() const { return boxes_; }

 private:
  // No terminal and no unattended answer: a modal dialog closes by itself.
  static Options MakeOptions(std::ostream* out) {
    Options options;
    options.out = out;
    return options;
  }
  int boxes_ = 0;
};

InstallationSession::InstallationSession(std::ostream& ui_out)
    : console_(std::make_unique<CountingConsole>(&ui_out)),
      ui_(std::make_unique<ScopedUiBackend>(console_.get())),
      restore_{GetSettings(), ""} {
  GetSettings().deleted = true;
  GetSettings().exclusive = true;
}

InstallationSession::~InstallationSession() = default;

InstallationSession::Restore::~Restore() {
  if (!folder.empty()) GetEnv()->ChangeDir(folder);
  GetSettings() = settings;
}

bool InstallationSession::Enter(const std::string& folder, std::string* message) {
  Env* env = GetEnv();
  if (!folder.empty()) {
    const std::string before = env->CurrentDir();
    if (env->ChangeDir(folder) != 0) {
      *message = "cannot enter the folder " + folder;
      return false;
    }
    restore_.folder = before;
  }
  // Tables that a restore or an update was putting in place when it was stopped are
  // finished before anything reads them.
  CompletePendingRenames("");
  if (!env->FileExists("indexdef.dbf")) {
    *message = "there is no table catalogue indexdef.dbf in " +
               (folder.empty() ? std::string("the current folder") : folder);
    return false;
  }
  return true;
}

int InstallationSession::message_boxes() const {
  return console_->boxes();
}

}  // namespace px::pxdb
