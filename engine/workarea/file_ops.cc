#include "engine/workarea/file_ops.h"

#include <memory>
#include <vector>

#include "runtime/env.h"
#include "runtime/error.h"
#include "runtime/process_state.h"

namespace px {

namespace {

constexpr size_t kCopyPiece = 8192;

// Permission bits: those of a new file before the umask, and execute for all.
constexpr uint32_t kNewFileBits = 0666;
constexpr uint32_t kExecuteBits = 0111;

Error FileError(int gen_code, int sub_code, const std::string& name, int os_code) {
  Error e = Error::Make("BASE", gen_code, sub_code);
  e.operation = name;
  e.filename = name;
  e.os_code = os_code;
  e.can_retry = e.can_default = true;
  return e;
}

}  // namespace

Value COPYFILE(const Value& source, const Value& target) {
  if (!source.is_string() || !target.is_string()) {
    Error e = Error::Make("BASE", kErrArg, 2010);
    e.operation = "__COPYFILE";
    e.args = {source, target};
    e.has_args = true;
    RaiseError(e);
    return Value::Logical(false);
  }
  const std::string& from = source.str();
  const std::string& to = target.str();
  Env* env = GetEnv();

  std::unique_ptr<File> in;
  for (;;) {
    int os_code = 0;
    in = env->OpenFile(from, FileAccess::kRead, FileShare::kDenyNone, &os_code);
    if (in != nullptr) break;
    Error e = FileError(kErrOpen, 2012, from, os_code);
    if (!RaiseError(e).retry()) return Value::Logical(false);
  }
  // A new file can be run when the source can (a program stays a program); it is
  // otherwise made as any new file, readable and writable as the umask allows, so that
  // the next update can replace it. A file that is replaced keeps its own bits.
  const bool new_target = !env->FileExists(to);
  std::unique_ptr<File> out;
  for (;;) {
    int os_code = 0;
    out = env->CreateFile(to, FileShare::kExclusive, &os_code);
    if (out != nullptr) break;
    Error e = FileError(kErrCreate, 2012, to, os_code);
    if (!RaiseError(e).retry()) return Value::Logical(false);
  }

  bool ok = true;
  std::vector<char> piece(kCopyPiece);
  uint64_t offset = 0;
  for (;;) {
    const int64_t got = in->ReadAt(offset, piece.data(), piece.size());
    if (got < 0) {
      // A read that fails is no end of the file: the copy would come out short.
      Error e = FileError(kErrRead, 2016, from, in->os_error());
      if (RaiseError(e).retry()) continue;
      ok = false;
      break;
    }
    if (got == 0) break;
    const size_t n = static_cast<size_t>(got);
    while (out->WriteAt(offset, piece.data(), n) != got) {
      Error e = FileError(kErrWrite, 2016, to, out->os_error());
      if (!RaiseError(e).retry()) {
        ok = false;
        break;
      }
    }
    offset += n;
  }
  out.reset();
  in.reset();
  uint32_t mode = 0;
  if (ok && new_target && env->GetFileMode(from, &mode) == 0 && (mode & kExecuteBits) != 0) {
    env->SetFileMode(to, kNewFileBits | (mode & kExecuteBits));
  }
  return ok ? Value() : Value::Logical(false);
}

int FRENAME(const Value& old_name, const Value& new_name) {
  if (!old_name.is_string() || !new_name.is_string()) return -1;
  const int code = GetEnv()->RenameFile(old_name.str(), new_name.str());
  SetFileError(code);
  return code == 0 ? 0 : -1;
}

int FERASE(const Value& file) {
  if (!file.is_string()) return -1;
  const int code = GetEnv()->DeleteFile(file.str());
  SetFileError(code);
  return code == 0 ? 0 : -1;
}

int FERROR() {
  return GetFileError();
}

}  // namespace px
