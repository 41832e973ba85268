#include "tests/tools/sample_update.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "tests/child_process.h"
#include "tests/test_util.h"
#include "tests/tools/pxdb_test_util.h"

namespace px::test {

namespace fs = std::filesystem;

namespace {

void Expect(const PxdbResult& r) {
  ASSERT_EQ(r.code, 0) << r.err;
}

}  // namespace

void MakeSampleInstallation(const std::string& inst) {
  Expect(Pxdb({"sample", inst}));
  WriteFileBytes(inst + "/PX", "#!/bin/sh\nexit 0\n");
  fs::permissions(inst + "/PX", fs::perms::owner_all);
}

void MakeCustomerUpdate(const std::string& inst, const std::string& upd, int name_len,
                        bool drop_fax, bool new_catalogue) {
  const std::string stage = upd + "/stage";
  fs::create_directories(stage);
  const PxdbResult fields = Pxdb({"struct", inst + "/customer.dbf"});
  Expect(fields);
  std::vector<std::string> create = {"create", stage + "/customer.dbf"};
  std::istringstream lines(fields.out);
  std::string name, type;
  int len = 0, dec = 0;
  while (lines >> name >> type >> len >> dec) {
    if (name == "FAX" && drop_fax) continue;
    if (name == "NAME") len = name_len;
    create.push_back(name + ":" + type + ":" + std::to_string(len) + ":" + std::to_string(dec));
  }
  Expect(Pxdb(create));
  Expect(Pxdb({"create", stage + "/updatdef.dbf", "DB_NAME:C:12", "PATH:C:40", "BRING_RECS:L:1"}));
  Expect(Pxdb({"append", stage + "/updatdef.dbf"}, "{\"DB_NAME\":\"customer\"}\n"));
  std::vector<std::string> files = {stage + "/updatdef.dbf", stage + "/customer.dbf",
                                    stage + "/customer.dbt"};
  if (new_catalogue) {
    std::vector<std::string> structure = {"create", stage + "/indexdef.dbf"};
    std::istringstream catalogue_fields(Pxdb({"struct", inst + "/indexdef.dbf"}).out);
    while (catalogue_fields >> name >> type >> len >> dec) {
      structure.push_back(name + ":" + type + ":" + std::to_string(len) + ":" +
                          std::to_string(dec));
    }
    Expect(Pxdb(structure));
    std::string rows;
    std::istringstream lines(Pxdb({"dump", inst + "/indexdef.dbf"}).out);
    for (std::string line; std::getline(lines, line);) {
      nlohmann::json row = nlohmann::json::parse(line);
      std::string index = row["fields"]["IN_NAME"];
      if (index.rfind("custname", 0) == 0) row["fields"]["IN_STR"] = "UPPER(NAME)+CODE";
      rows += row.dump() + "\n";
    }
    rows += "{\"DB_ALIAS\":\"PROMO\",\"DB_NAME\":\"promo\"}\n";
    Expect(Pxdb({"append", stage + "/indexdef.dbf"}, rows));
    Expect(Pxdb({"append", stage + "/updatdef.dbf"},
                "{\"DB_NAME\":\"indexdef\",\"BRING_RECS\":true}\n"));
    files.push_back(stage + "/indexdef.dbf");
  }
  std::vector<std::string> mkupdate = {"mkupdate", upd + "/PXUPD.zip", "tamrok"};
  mkupdate.insert(mkupdate.end(), files.begin(), files.end());
  Expect(Pxdb(mkupdate));
}

int RunInstaller(const std::string& inst, const std::string& upd) {
#ifdef _WIN32
  // Windows has no drive map: the update folder is named as it is.
  const std::string from = "PX_UPDATE_FROM=" + upd + "\\";
#else
  const std::string from = "PX_UPDATE_FROM=D:\\";
#endif
  return RunProgram({PX_PXUPDATE_BINARY}, {"PX_UI=console", from, "PX_DRIVES=D=" + upd}, inst,
                    inst + "/../pxupdate.out");
}

std::map<std::string, std::string> TableFiles(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string ext = e.path().extension().string();
    if (e.is_regular_file() && (ext == ".dbf" || ext == ".dbt")) {
      files[e.path().filename().string()] = ReadFileBytes(e.path().string());
    }
  }
  return files;
}

ToolsOnPath::ToolsOnPath() {
  const char* path = std::getenv("PATH");
  previous_ = path != nullptr ? path : "";
  const std::string tools = fs::path(PX_PXUPDATE_BINARY).parent_path().string();
  SetEnvVar("PATH", tools + kPathListSeparator + previous_);
}

ToolsOnPath::~ToolsOnPath() {
  SetEnvVar("PATH", previous_);
}

}  // namespace px::test
