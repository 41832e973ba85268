#include "archive/archive_check.h"

#include <zip.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "archive/entry_failure.h"
#include "archive/env_zip_source.h"
#include "archive/zip_errors.h"

namespace px {

namespace {

// An archive opened for reading through the Env; nullptr with *error set.
zip_t* OpenArchive(const std::string& archive, int flags, zip_error_t* error) {
  zip_source_t* src = NewEnvArchiveSource(archive, error);
  if (src == nullptr) return nullptr;
  zip_t* za = zip_open_from_source(src, ZIP_RDONLY | flags, error);
  if (za == nullptr) zip_source_free(src);
  return za;
}

struct EntryResult {
  std::string name;
  std::string problem;  // "" when the entry read back whole
  int code = 0;         // archive/zip_errors.h code of the failure
};

// Reads one entry to its end.
EntryResult CheckEntry(zip_t* za, EntryFailures& failures, size_t i, const std::string& password,
                       std::vector<char>& buf) {
  EntryResult r;
  const zip_uint64_t index = static_cast<zip_uint64_t>(i);
  const char* raw = zip_get_name(za, index, ZIP_FL_ENC_RAW);
  r.name = raw != nullptr ? raw : "#" + std::to_string(i);
  zip_stat_t st;
  zip_stat_init(&st);
  const bool encrypted = zip_stat_index(za, index, 0, &st) == 0 &&
                         (st.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 &&
                         st.encryption_method != ZIP_EM_NONE;
  const int unsupported = UnsupportedEntryMethod(st);  // st.valid is 0 when the stat failed
  zip_file_t* f =
      unsupported != 0
          ? nullptr
          : zip_fopen_index_encrypted(za, index, 0, password.empty() ? nullptr : password.c_str());
  if (unsupported != 0) {
    r.code = failures.Code(unsupported, encrypted);
    r.problem = unsupported == ZIP_ER_COMPNOTSUPP ? "Compression method not supported"
                                                  : "Encryption method not supported";
  } else if (f == nullptr) {
    r.code = failures.Code(zip_error_code_zip(zip_get_error(za)), encrypted);
    r.problem = zip_strerror(za);
  } else {
    zip_uint64_t total = 0;
    for (;;) {
      const zip_int64_t n = zip_fread(f, buf.data(), buf.size());
      if (n < 0) {
        r.code = failures.Code(zip_error_code_zip(zip_file_get_error(f)), encrypted);
        r.problem = zip_file_strerror(f);
        break;
      }
      if (n == 0) break;
      total += static_cast<zip_uint64_t>(n);
    }
    if (r.problem.empty() && (st.valid & ZIP_STAT_SIZE) != 0 && total != st.size) {
      r.code = failures.DataFailure(encrypted);
      r.problem = "size does not match";
    }
    zip_fclose(f);
  }
  return r;
}

}  // namespace

ArchiveCheck CheckArchive(
    const std::string& archive, const std::string& password,
    const std::function<void(const std::string& entry, const std::string& problem)>& report) {
  ArchiveCheck check;
  zip_error_t error;
  zip_error_init(&error);
  zip_t* za = OpenArchive(archive, ZIP_CHECKCONS, &error);
  if (za == nullptr) {
    check.error = ZipOpenErrorCode(zip_error_code_zip(&error), zip_error_code_system(&error));
    check.failed = 1;
    report("", zip_error_strerror(&error));
    zip_error_fini(&error);
    return check;
  }
  zip_error_fini(&error);

  const zip_int64_t count = zip_get_num_entries(za, 0);
  std::vector<EntryResult> results(static_cast<size_t>(std::max<zip_int64_t>(count, 0)));
  std::atomic<size_t> next{0};
  // Each reader takes the next entry not yet taken. Entries without a password are read
  // on every core, each extra thread through an archive handle of its own.
  const auto read_entries = [&](zip_t* archive) {
    EntryFailures failures(archive, password);
    std::vector<char> buf(256 * 1024);
    for (size_t i; (i = next.fetch_add(1)) < results.size();) {
      results[i] = CheckEntry(archive, failures, i, password, buf);
    }
  };
  std::vector<std::thread> helpers;
  if (password.empty() && results.size() > 1) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned t = 1; t < cores && t < results.size(); ++t) {
      helpers.emplace_back([&] {
        zip_error_t herr;
        zip_error_init(&herr);
        zip_t* own = OpenArchive(archive, 0, &herr);
        zip_error_fini(&herr);
        if (own == nullptr) return;  // the other readers take its share
        read_entries(own);
        zip_discard(own);
      });
    }
  }
  read_entries(za);
  for (std::thread& t : helpers) t.join();
  for (const EntryResult& r : results) {
    ++check.entries;
    if (r.code != 0) {
      ++check.failed;
      if (check.error == 0) check.error = r.code;
    }
    report(r.name, r.problem);
  }
  zip_discard(za);
  return check;
}

}  // namespace px
