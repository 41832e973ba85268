// The platform-independent part of the OS layer: the installed Env and the whole-file
// helpers built on it.
#include "runtime/env.h"

#include "runtime/date.h"

namespace px {

namespace {

Env* g_installed_env = nullptr;

}  // namespace

Env* GetEnv() {
  return g_installed_env != nullptr ? g_installed_env : Env::Default();
}

ScopedEnv::ScopedEnv(Env* env) : previous_(g_installed_env) {
  g_installed_env = env;
}
ScopedEnv::~ScopedEnv() {
  g_installed_env = previous_;
}

int32_t Today() {
  const LocalTime t = GetEnv()->Now();
  return DateFromYmd(t.year, t.month, t.day);
}

bool ReadWholeFile(std::string_view name, std::string* text, bool exact_size) {
  int code = 0;
  std::unique_ptr<File> f =
      GetEnv()->OpenFile(name, FileAccess::kRead, FileShare::kDenyNone, &code);
  if (f == nullptr) return false;
  const int64_t size = f->Size();
  if (size < 0) return false;
  text->assign(static_cast<size_t>(size), '\0');
  const int64_t got = f->ReadAt(0, text->data(), text->size());
  if (got < 0 || (exact_size && got != size)) return false;
  text->resize(static_cast<size_t>(got));
  return true;
}

bool WriteWholeFile(std::string_view name, std::string_view text) {
  int code = 0;
  std::unique_ptr<File> f = GetEnv()->CreateFile(name, FileShare::kExclusive, &code);
  if (f == nullptr) return false;
  return f->WriteAt(0, text.data(), text.size()) == static_cast<int64_t>(text.size()) && f->Sync();
}

}  // namespace px
