#include "archive/zip_writer.h"

#include <zip.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <thread>
#include <utility>

#include "archive/env_zip_source.h"
#include "runtime/dos_path.h"
#include "runtime/env.h"

namespace px {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

// The file's date from its folder's listing; 0 when it cannot be found.
int64_t FileMTime(const std::string& path) {
  std::string folder, file;
  SplitPath(path, &folder, &file);
  std::vector<DirEntry> listing;
  if (GetEnv()->ListDir(folder.empty() ? std::string(".") : folder, &listing) != 0) return 0;
  const DirEntry* match = nullptr;
  for (const DirEntry& e : listing) {
    if (e.name == file) return e.mtime;
    if (match == nullptr && EqualNoCase(e.name, file)) match = &e;
  }
  return match != nullptr ? match->mtime : 0;
}

// 1 January 1980, the first date a zip entry can carry. libzip needs a date on every
// encrypted entry (it keys the password check byte to it); a file whose date cannot be
// read gets this one.
constexpr int64_t kZipEpoch = 315532800;

// The Unix file type of a regular file, beside its permission bits in the upper half of
// an entry's external attributes.
constexpr zip_uint32_t kUnixRegularFile = 0100000;

zip_uint32_t Level(const ZipWriteOptions& options) {
  return static_cast<zip_uint32_t>(std::clamp(options.level, 1, 9));
}

// Puts one entry into the open archive from the source (which it takes over), replacing
// an entry of the same name; level 0 keeps the source's data as it is (already
// deflated), otherwise the data is deflated at that level. False with *error set.
bool PutEntry(zip_t* za, const ZipInput& in, zip_source_t* data, zip_uint32_t level,
              const std::string& password, std::set<zip_int64_t>* written, std::string* error) {
  const auto fail = [&](const std::string& what) {
    *error = what + ": " + zip_strerror(za);
    return false;
  };
  // The entry of the same name: spelt alike, else in another letter case unless that
  // one was written in this run (two files differing in case both go in).
  zip_int64_t index = zip_name_locate(za, in.entry.c_str(), 0);
  if (index < 0) {
    index = zip_name_locate(za, in.entry.c_str(), ZIP_FL_NOCASE);
    if (index >= 0 && written->count(index) != 0) index = -1;
  }
  if (index >= 0) {
    const char* old_name = zip_get_name(za, static_cast<zip_uint64_t>(index), 0);
    if (old_name != nullptr && in.entry != old_name &&
        zip_file_rename(za, static_cast<zip_uint64_t>(index), in.entry.c_str(), 0) != 0) {
      zip_source_free(data);
      return fail(in.entry);
    }
    if (zip_file_replace(za, static_cast<zip_uint64_t>(index), data, 0) != 0) {
      zip_source_free(data);
      return fail(in.entry);
    }
  } else {
    index = zip_file_add(za, in.entry.c_str(), data, 0);
    if (index < 0) {
      zip_source_free(data);
      return fail(in.entry);
    }
  }
  written->insert(index);
  // The file's permission bits go with it (a program stays a program when unpacked).
  uint32_t mode = 0;
  if (GetEnv()->GetFileMode(in.path, &mode) == 0 &&
      zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                       (kUnixRegularFile | mode) << 16) != 0) {
    return fail(in.entry);
  }
  if (level > 0 &&
      zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, level) != 0) {
    return fail(in.entry);
  }
  if (!password.empty() && zip_file_set_encryption(za, static_cast<zip_uint64_t>(index),
                                                   ZIP_EM_TRAD_PKWARE, password.c_str()) != 0) {
    return fail(in.entry);
  }
  return true;
}

// A source over the input file, dated by it. nullptr with *error set when the file
// cannot be read: libzip reads the files only when it writes the archive, so a file that
// cannot be read is named here rather than as a read error of the archive.
zip_source_t* InputSource(const ZipInput& in, std::string* error) {
  int code = 0;
  if (GetEnv()->OpenFile(in.path, FileAccess::kRead, FileShare::kDenyNone, &code) == nullptr) {
    *error = in.path + ": " +
             (code == kOsFileNotFound || code == kOsPathNotFound
                  ? std::string("no such file")
                  : "cannot be read (DOS error " + std::to_string(code) + ")");
    return nullptr;
  }
  int64_t mtime = in.mtime > 0 ? in.mtime : FileMTime(in.path);
  if (mtime <= 0) mtime = kZipEpoch;
  zip_error_t serr;
  zip_error_init(&serr);
  zip_source_t* file = NewEnvFileSource(in.path, mtime, &serr);
  if (file == nullptr) *error = in.path + ": " + zip_error_strerror(&serr);
  zip_error_fini(&serr);
  return file;
}

// Opens (or, with create, starts) an archive through the Env. nullptr with *error set.
zip_t* OpenArchive(const std::string& name, int flags, std::string* error, bool durable = true) {
  zip_error_t zerr;
  zip_error_init(&zerr);
  zip_source_t* src = NewEnvArchiveSource(name, &zerr, durable);
  zip_t* za = nullptr;
  if (src != nullptr) {
    za = zip_open_from_source(src, flags, &zerr);
    if (za == nullptr) zip_source_free(src);
  }
  if (za == nullptr) *error = name + ": " + zip_error_strerror(&zerr);
  zip_error_fini(&zerr);
  return za;
}

// Deflates the inputs on several threads. Each thread takes the next input not yet
// taken (largest first) and writes it into a part archive of its own beside the
// archive; the archive is then written in input order from the parts' deflated data,
// which is copied as it is. The parts are removed at the end, whatever happened.
class ParallelDeflate {
 public:
  ParallelDeflate(const std::string& archive, const std::vector<ZipInput>& inputs, int threads,
                  zip_uint32_t level)
      : inputs_(inputs), level_(level), parts_(static_cast<size_t>(threads)) {
    for (size_t i = 0; i < parts_.size(); ++i) {
      parts_[i].name = archive + "." + std::to_string(i) + ".part";
      GetEnv()->DeleteFile(parts_[i].name);  // left by a run that was killed
    }
    where_.resize(inputs.size());
    // Largest first, so that no thread is left with a big file at the end.
    std::vector<std::pair<int64_t, size_t>> sized;
    for (size_t i = 0; i < inputs.size(); ++i) {
      int code = 0;
      std::unique_ptr<File> f =
          GetEnv()->OpenFile(inputs[i].path, FileAccess::kRead, FileShare::kDenyNone, &code);
      sized.emplace_back(f != nullptr ? f->Size() : 0, i);
    }
    std::stable_sort(sized.begin(), sized.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& s : sized) order_.push_back(s.second);
  }
  ~ParallelDeflate() {
    for (Part& part : parts_) {
      if (part.za != nullptr) zip_discard(part.za);
      GetEnv()->DeleteFile(part.name);
    }
  }
  ParallelDeflate(const ParallelDeflate&) = delete;
  ParallelDeflate& operator=(const ParallelDeflate&) = delete;

  // Deflates every input into the parts and opens them for reading.
  bool Deflate(std::string* error) {
    std::vector<std::thread> threads;
    for (size_t i = 0; i < parts_.size(); ++i) threads.emplace_back([this, i] { Work(i); });
    for (std::thread& t : threads) t.join();
    for (Part& part : parts_) {
      if (!part.error.empty()) {
        *error = part.error;
        return false;
      }
    }
    for (Part& part : parts_) {
      if (part.count == 0) continue;
      part.za = OpenArchive(part.name, ZIP_RDONLY, error);
      if (part.za == nullptr) return false;
    }
    return true;
  }

  // The deflated data of input i, as a source for the archive.
  zip_source_t* Source(zip_t* za, size_t i, std::string* error) {
    const Where w = where_[i];
    zip_source_t* src = zip_source_zip(za, parts_[w.part].za, w.index, ZIP_FL_COMPRESSED, 0, -1);
    if (src == nullptr) *error = inputs_[i].path + ": " + zip_strerror(za);
    return src;
  }

 private:
  struct Part {
    std::string name;
    zip_t* za = nullptr;  // open for reading once deflated
    size_t count = 0;     // entries written into it
    std::string error;
  };
  struct Where {
    size_t part = 0;
    zip_uint64_t index = 0;
  };

  void Work(size_t p) {
    Part& part = parts_[p];
    zip_t* za = nullptr;
    std::set<zip_int64_t> written;
    for (size_t next; (next = next_.fetch_add(1)) < order_.size();) {
      const size_t i = order_[next];
      if (za == nullptr) {
        // A part is scratch, read back at once and removed: not worth a commit to disk.
        za = OpenArchive(part.name, ZIP_CREATE | ZIP_TRUNCATE, &part.error, false);
        if (za == nullptr) return;
      }
      zip_source_t* file = InputSource(inputs_[i], &part.error);
      if (file == nullptr || !PutEntry(za, inputs_[i], file, level_, "", &written, &part.error)) {
        zip_discard(za);
        return;
      }
      where_[i] = Where{p, static_cast<zip_uint64_t>(part.count++)};
    }
    if (za != nullptr && zip_close(za) != 0) {
      part.error = part.name + ": " + zip_strerror(za);
      zip_discard(za);
    }
  }

  const std::vector<ZipInput>& inputs_;
  const zip_uint32_t level_;
  std::vector<Part> parts_;
  std::vector<size_t> order_;
  std::vector<Where> where_;
  std::atomic<size_t> next_{0};
};

}  // namespace

bool WriteZip(const std::string& archive, const std::vector<ZipInput>& inputs,
              const ZipWriteOptions& options, std::string* error) {
  // Encrypted entries are few and small (update archives): they are written on one thread.
  const int threads = options.password.empty()
                          ? std::min<int>(options.threads, static_cast<int>(inputs.size()))
                          : 1;
  std::unique_ptr<ParallelDeflate> parallel;
  if (threads > 1) {
    parallel = std::make_unique<ParallelDeflate>(archive, inputs, threads, Level(options));
    if (!parallel->Deflate(error)) {
      // The parts are only a way to use every core: when they fail, the archive is
      // written on one thread, which fails only where a one-thread writer would.
      parallel.reset();
      ZipWriteOptions one = options;
      one.threads = 1;
      return WriteZip(archive, inputs, one, error);
    }
  }
  zip_t* za = OpenArchive(archive, ZIP_CREATE | (options.new_archive ? ZIP_TRUNCATE : 0), error);
  if (za == nullptr) return false;
  std::set<zip_int64_t> written;
  for (size_t i = 0; i < inputs.size(); ++i) {
    zip_source_t* data =
        parallel != nullptr ? parallel->Source(za, i, error) : InputSource(inputs[i], error);
    if (data == nullptr || !PutEntry(za, inputs[i], data, parallel != nullptr ? 0 : Level(options),
                                     options.password, &written, error)) {
      zip_discard(za);
      return false;
    }
  }
  if (zip_close(za) != 0) {
    *error = archive + ": " + zip_strerror(za);
    zip_discard(za);
    return false;
  }
  return true;
}

}  // namespace px
