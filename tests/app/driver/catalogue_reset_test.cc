// Carrying the site's folder paths from the saved catalogue into the shipped one.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/driver/catalogue_reset.h"
#include "engine/workarea/registry.h"
#include "tests/app/driver/driver_fixture.h"

namespace px {
namespace {

using test::FieldSpec;
using test::Row;
using test::Text;

const std::vector<FieldSpec> kCatalogue = {
    {"DB_ALIAS", 'C', 10}, {"DB_NAME", 'C', 10}, {"IN_NAME", 'C', 10}, {"PATH", 'C', 30}};

Row CatRow(const std::string& alias, const std::string& path, const std::string& index = "") {
  return {{"DB_ALIAS", Value::String(alias)},
          {"DB_NAME", Value::String(alias)},
          {"IN_NAME", Value::String(index)},
          {"PATH", Value::String(path)}};
}

class CatalogueResetTest : public test::PathVarsTest {
 protected:
  std::vector<std::string> Paths() {
    DBCLOSEALL();  // the reset leaves both catalogues open for phase 14 to close
    std::vector<std::string> out;
    for (const Row& r : test::ReadTable(Inst("indexdef")).rows) out.push_back(Text(r.at("PATH")));
    return out;
  }
};

TEST_F(CatalogueResetTest, SitePathsComeBackByAlias) {
  test::MakeTable(Inst("oldexdef"), kCatalogue,
                  {CatRow("staff", "S\\"), CatRow("cquotes", "Q1\\", "cqcode"),
                   CatRow("cquotes", "Q2\\", "cqdate"), CatRow("customer", "\\\\SERVER\\DATA\\")});
  test::MakeTable(Inst("indexdef"), kCatalogue,
                  {CatRow("customer", "", "cucode"), CatRow("customer", "", "cuname"),
                   CatRow("cquotes", ""), CatRow("newalias", "NEW\\")});
  NoteCatalogueSaved(paths_.to_drvpth);
  ASSERT_TRUE(std::filesystem::exists(Inst(kResetMarker)));
  // Until the shipped catalogue goes in, the installed one is the site's own.
  EXPECT_FALSE(CatalogueResetPending(paths_.to_drvpth));
  NoteCatalogueReplacing(paths_.to_drvpth, true);
  NoteCatalogueReplacing(paths_.to_drvpth, false);
  EXPECT_FALSE(CatalogueResetPending(paths_.to_drvpth));
  NoteCatalogueReplacing(paths_.to_drvpth, true);
  ASSERT_TRUE(CatalogueResetPending(paths_.to_drvpth));
  ResetCataloguePaths(paths_, progress_);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"\\\\SERVER\\DATA\\", "\\\\SERVER\\DATA\\", "Q1\\",
                                               "NEW\\"}));
  EXPECT_TRUE(std::filesystem::exists(Inst("oldexdef.ntx")));
  EXPECT_FALSE(CatalogueResetPending(paths_.to_drvpth));
  EXPECT_EQ(progress_.text, "Resetting INDEXDEF Paths. Please Wait...");
}

TEST_F(CatalogueResetTest, CatalogueInUseKeepsTheSavedCopyForTheNextRun) {
  test::MakeTable(Inst("oldexdef"), kCatalogue, {CatRow("customer", "DATA\\")});
  test::MakeTable(Inst("indexdef"), kCatalogue, {CatRow("customer", "")});
  NoteCatalogueSaved(paths_.to_drvpth);
  NoteCatalogueReplacing(paths_.to_drvpth, true);
  {
    int code = 0;
    std::unique_ptr<File> other = Env::Default()->OpenFile(Inst("indexdef.dbf"), FileAccess::kRead,
                                                           FileShare::kDenyNone, &code);
    ASSERT_NE(other, nullptr);
    ResetCataloguePaths(paths_, progress_);
  }
  EXPECT_TRUE(HasLine(TakeLines(),
                      "[Alert] Unable to Reset INDEXDEF Paths. The table indexdef is "
                      "in use on another workstation."));
  EXPECT_TRUE(CatalogueResetPending(paths_.to_drvpth));
  EXPECT_EQ(Paths(), (std::vector<std::string>{""}));
}

TEST_F(CatalogueResetTest, MarkerOfAnEarlierInstallerCountsAsReplaced) {
  test::WriteFileBytes(Inst(kResetMarker), "An update is in progress.\r\n");
  EXPECT_TRUE(CatalogueResetPending(paths_.to_drvpth));
  NoteCatalogueReplacing(paths_.to_drvpth, false);
  EXPECT_FALSE(CatalogueResetPending(paths_.to_drvpth));
  std::filesystem::remove(Inst(kResetMarker));
  NoteCatalogueReplacing(paths_.to_drvpth, true);  // no marker: nothing was saved
  EXPECT_FALSE(std::filesystem::exists(Inst(kResetMarker)));
}

}  // namespace
}  // namespace px
