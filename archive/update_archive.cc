#include "archive/update_archive.h"

#include <set>

#include "archive/zip_writer.h"
#include "runtime/dos_path.h"
#include "runtime/env.h"

namespace px {

namespace {

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return s;
}

}  // namespace

bool MakeUpdateArchive(const std::string& archive, const std::string& password,
                       const std::vector<std::string>& files, std::string* error) {
  if (password.empty()) {
    *error = "an update archive needs a password";
    return false;
  }
  if (files.empty()) {
    *error = "no files to put into the archive";
    return false;
  }
  std::vector<ZipInput> inputs;
  std::set<std::string> seen;
  for (const std::string& path : files) {
    ZipInput in;
    in.path = path;
    // The entry takes the name the file has on disk, found in any letter case.
    SplitPath(path, nullptr, &in.entry);
    std::string found;
    SplitPath(GetEnv()->HostPath(path), nullptr, &found);
    if (!found.empty()) in.entry = found;
    if (in.entry.empty()) {
      *error = path + ": not a file name";
      return false;
    }
    if (!seen.insert(Upper(in.entry)).second) {
      *error = path + ": a file named " + in.entry + " is already in the archive";
      return false;
    }
    inputs.push_back(std::move(in));
  }
  ZipWriteOptions options;
  options.new_archive = true;
  options.password = password;
  return WriteZip(archive, inputs, options, error);
}

}  // namespace px
