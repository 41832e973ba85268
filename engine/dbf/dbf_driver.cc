#include "engine/dbf/dbf_driver.h"

#include "engine/dbf/dbf_area.h"
#include "runtime/dos_path.h"
#include "runtime/env.h"

namespace px {

namespace {

std::string WithTableExtension(const std::string& name) {
  std::string folder, file, base, ext;
  SplitPath(name, &folder, &file);
  SplitExtension(file, &base, &ext);
  return ext.empty() ? name + ".dbf" : name;
}

}  // namespace

std::unique_ptr<WorkArea> DbfDriver::NewArea() const {
  return std::make_unique<DbfArea>(name_);
}

bool DbfDriver::Drop(const std::string& file_name) const {
  const std::string table = WithTableExtension(file_name);
  Env* env = GetEnv();
  if (env->DeleteFile(table) != 0) return false;
  std::string folder, file, base;
  SplitPath(table, &folder, &file);
  SplitExtension(file, &base, nullptr);
  const std::string memo = folder + base + DbfArea::kMemoExtension;
  if (env->FileExists(memo)) env->DeleteFile(memo);
  return true;
}

bool DbfDriver::Exists(const std::string& file_name) const {
  return GetEnv()->FileExists(WithTableExtension(file_name));
}

}  // namespace px
