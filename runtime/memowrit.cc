#include "runtime/memowrit.h"

#include <memory>

#include "runtime/env.h"

namespace px {

bool MEMOWRIT(const Value& file, const Value& text) {
  if (!file.is_string() || !text.is_string() || file.str().empty()) return false;
  int code = 0;
  std::unique_ptr<File> f = GetEnv()->CreateFile(file.str(), FileShare::kExclusive, &code);
  if (f == nullptr) return false;
  const std::string& bytes = text.str();
  const int64_t written = bytes.empty() ? 0 : f->WriteAt(0, bytes.data(), bytes.size());
  const char eof = 26;
  f->WriteAt(bytes.size(), &eof, 1);
  return written == static_cast<int64_t>(bytes.size());
}

}  // namespace px
