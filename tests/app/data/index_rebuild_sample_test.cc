// INIT_IDX over a generated sample installation: every index comes out as the
// generator (and pxdb index) builds it, the table the catalogue asks to pack is packed,
// the library tables are not, and the catalogue check passes afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "app/data/index_rebuild.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/process_state.h"
#include "tests/test_util.h"
#include "tests/ui/console_fixture.h"
#include "tools/pxdb/catalogue_check.h"
#include "tools/pxdb/sample_installation.h"

namespace px {
namespace {

using test::ReadFileBytes;

class IndexRebuildSampleTest : public test::ConsoleUiTest {
 protected:
  IndexRebuildSampleTest() {
    GetSettings().deleted = true;
    GetSettings().exclusive = true;
  }

  std::map<std::string, std::string> IndexFiles() const {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
      if (e.path().extension() == ".ntx") {
        files[e.path().filename().string()] = ReadFileBytes(e.path().string());
      }
    }
    return files;
  }

  uint32_t Records(const std::string& table) {
    if (!DBUSEAREA(true, "", table, "", false, true)) return 0;
    const uint32_t n = RECCOUNT();
    DBCLOSEAREA();
    return n;
  }

  test::ScratchDir dir_;
};

TEST_F(IndexRebuildSampleTest, RebuildGivesTheGeneratedIndexes) {
  pxdb::SampleResult result;
  std::string error;
  ASSERT_TRUE(pxdb::MakeSampleInstallation("", 1, &result, &error)) << error;
  const std::map<std::string, std::string> before = IndexFiles();
  const uint32_t colours = Records("colours.dbf");
  const uint32_t tmpquote = Records("tmpquote.dbf");
  ASSERT_GT(tmpquote, 0u);

  TakeLines();
  INIT_IDX(false, false, nullptr, nullptr, nullptr);
  for (const std::string& line : TakeLines()) {
    EXPECT_EQ(line.find("Unable"), std::string::npos) << line;
  }

  // tmpquote is packed before its index is built (PACK); colours and glastype carry
  // PACK too but belong to the library, so they keep their deleted records.
  uint32_t deleted = 0;
  for (const pxdb::SampleTableCount& t : result.tables) {
    if (t.alias == "tmpquote") deleted = t.deleted;
  }
  EXPECT_EQ(Records("tmpquote.dbf"), tmpquote - deleted);
  EXPECT_EQ(Records("colours.dbf"), colours);

  const std::map<std::string, std::string> after = IndexFiles();
  ASSERT_EQ(before.size(), after.size());
  for (const auto& [name, bytes] : before) {
    if (name == "tmpquote.ntx") continue;
    EXPECT_TRUE(after.at(name) == bytes) << name << " differs after the rebuild";
  }
  const pxdb::CatalogueReport report = pxdb::CheckCatalogue("", false);
  EXPECT_TRUE(report.ok()) << (report.faults.empty() ? "" : report.faults.front());
  EXPECT_EQ(report.tables, 20);
}

}  // namespace
}  // namespace px
