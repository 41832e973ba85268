// INIT_IDX: rebuilding every index named in the catalogue.
#include "app/data/index_rebuild.h"

#include <gtest/gtest.h>

#include "app/data/catalogue.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "runtime/process_state.h"
#include "tests/app/data/catalogue_builder.h"
#include "tests/test_util.h"
#include "tests/ui/console_fixture.h"
#include "ui/dialog.h"
#include "ui/get.h"

namespace px {
namespace {

using test::CatalogueRow;
using test::ReadFileBytes;
using test::RecordCount;
using test::WriteCatalogue;
using test::WriteTable;

class IndexRebuildTest : public test::ConsoleUiTest {
 protected:
  IndexRebuildTest() {
    GetSettings().deleted = true;
    GetSettings().exclusive = true;
  }

  // Runs INIT_IDX as the update driver does: both flags false, the progress text shown
  // in a read-only field of a non-modal window. Returns the lines shown.
  std::vector<std::string> Rebuild(bool zap = false) {
    std::string text;
    std::shared_ptr<TDialog> window = TDialog::New({.caption = "Thinking......"});
    std::shared_ptr<TGet> field =
        TGet::New({.var = BindString(&text), .owner = window.get(), .read_only = true});
    window->Activate({.modal = false});
    TakeLines();
    INIT_IDX(false, zap, window.get(), &text, field.get());
    window->End();
    return TakeLines();
  }

  bool Exists(const std::string& name) { return GetEnv()->FileExists(name); }

  test::ScratchDir dir_;
  FakeClockEnv clock_{GetEnv()};
  ScopedEnv env_{&clock_};
};

TEST_F(IndexRebuildTest, RebuildsEveryIndexLikeADirectBuild) {
  ASSERT_EQ(GetEnv()->MakeDir("data"), 0);
  WriteCatalogue({{.alias = "ORDERS",
                   .name = "orders",
                   .index = "ordname",
                   .key = "UPPER(NAME)+STR(CODE,5)",
                   .path = "data\\"},
                  {.alias = "CUSTOMER", .name = "customer", .index = "custname", .key = "NAME"},
                  {.alias = "CUSTOMER", .name = "customer", .index = "custcode", .key = "CODE"}},
                 {.build_index = false});
  WriteTable("customer", {"pear", "apple", "fig", "apple"});
  WriteTable("data\\orders", {"b", "A", "c"});

  EXPECT_EQ(Rebuild(),
            (std::vector<std::string>{"[Thinking......] Indexing INDEXDEF",
                                      "[Thinking......] Preparing Array of Databases",
                                      "[Thinking......] Indexing ORDERS To ORDNAME",
                                      "[Thinking......] Indexing CUSTOMER To CUSTNAME",
                                      "[Thinking......] Indexing CUSTOMER To CUSTCODE"}));
  EXPECT_TRUE(OpenAreas().empty());
  EXPECT_TRUE(RecordedErrors().empty());
  EXPECT_FALSE(GetMemVars().Exists("THEINDEX"));
  EXPECT_FALSE(GetMemVars().Exists("TINDEXKEY"));

  // Each file is the one a direct build from the same key text makes.
  const std::string orders = ReadFileBytes(dir_.File("data/ordname.ntx"));
  const std::string name = ReadFileBytes(dir_.File("custname.ntx"));
  const std::string code = ReadFileBytes(dir_.File("custcode.ntx"));
  const std::string catalogue = ReadFileBytes(dir_.File("indexdef.ntx"));
  test::BuildIndexDirectly("data\\orders", "data\\direct1", "UPPER(NAME)+STR(CODE,5)");
  test::BuildIndexDirectly("customer", "direct2", "NAME");
  test::BuildIndexDirectly("customer", "direct3", "CODE");
  test::BuildIndexDirectly("indexdef", "direct4", "indexdef->db_alias");
  EXPECT_EQ(orders, ReadFileBytes(dir_.File("data/direct1.ntx")));
  EXPECT_EQ(name, ReadFileBytes(dir_.File("direct2.ntx")));
  EXPECT_EQ(code, ReadFileBytes(dir_.File("direct3.ntx")));
  EXPECT_EQ(catalogue, ReadFileBytes(dir_.File("direct4.ntx")));

  // The tables open by alias with their new indexes.
  ASSERT_TRUE(OPNALIAS("orders", false));
  EXPECT_EQ(FIELDGET(1).str(), "A         ");
  ASSERT_TRUE(OPNALIAS("customer", false));
  EXPECT_EQ(DBORDERINFO(9).integer(), 2);
}

TEST_F(IndexRebuildTest, ADamagedCatalogueIndexIsRepaired) {
  WriteCatalogue({{.alias = "CUSTOMER", .name = "customer", .index = "custname", .key = "NAME"}});
  WriteTable("customer", {"b", "a"});
  test::WriteFileBytes(dir_.File("indexdef.ntx"), std::string(1024, '\x7f'));
  Rebuild();
  ClearRecordedErrors();
  ASSERT_TRUE(OPNALIAS("customer", false));
  EXPECT_EQ(RECNO(), 2u);
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(IndexRebuildTest, AnEmptyCatalogueRebuildsOnlyItsOwnIndex) {
  WriteCatalogue({}, {.build_index = false});
  EXPECT_EQ(Rebuild(), (std::vector<std::string>{"[Thinking......] Indexing INDEXDEF",
                                                 "[Thinking......] Preparing Array of Databases"}));
  EXPECT_TRUE(Exists("indexdef.ntx"));
  std::vector<DirEntry> entries;
  ASSERT_EQ(GetEnv()->ListDir(".", &entries), 0);
  EXPECT_EQ(entries.size(), 2u);  // indexdef.dbf and indexdef.ntx
}

TEST_F(IndexRebuildTest, AMissingTableIsReportedAndTheRebuildGoesOn) {
  WriteCatalogue(
      {{.alias = "GONE", .name = "gone", .index = "gonename", .key = "NAME", .path = "data\\"},
       {.alias = "NOTLISTED", .name = "x", .index = "x", .key = "NAME"},
       {.alias = "CUSTOMER", .name = "customer", .index = "custname", .key = "NAME"}});
  WriteTable("customer", {"b", "a"});
  const std::vector<std::string> lines = Rebuild();
  EXPECT_EQ(lines,
            (std::vector<std::string>{"[Thinking......] Indexing INDEXDEF",
                                      "[Thinking......] Preparing Array of Databases",
                                      "[Alert] Unable to open data\\gone.DBF. File does not exist",
                                      "[Alert] Unable to open x.DBF. File does not exist",
                                      "[Thinking......] Indexing CUSTOMER To CUSTNAME"}));
  EXPECT_TRUE(Exists("custname.ntx"));
  EXPECT_FALSE(Exists("data\\gonename.ntx"));
}

TEST_F(IndexRebuildTest, NoindexRecordsAreSkipped) {
  WriteCatalogue({{.alias = "CUSTOMER", .name = "customer", .index = "custname", .key = "NAME"},
                  {.alias = "CUSTOMER",
                   .name = "customer",
                   .index = "custcode",
                   .key = "CODE",
                   .pack = true,
                   .noindex = true},
                  {.alias = "CUSTOMER", .name = "customer", .index = "custold", .key = "CODE"}},
                 {.deleted = {3}});
  WriteTable("customer", {"b", "a"}, {1});
  Rebuild();
  EXPECT_TRUE(Exists("custname.ntx"));
  EXPECT_FALSE(Exists("custcode.ntx"));
  EXPECT_FALSE(Exists("custold.ntx"));    // a deleted catalogue record is hidden
  EXPECT_EQ(RecordCount("customer"), 2);  // the skipped record's PACK is not applied

  // A catalogue without the field rebuilds every record.
  WriteCatalogue({{.alias = "CUSTOMER", .name = "customer", .index = "custname", .key = "NAME"},
                  {.alias = "CUSTOMER", .name = "customer", .index = "custcode", .key = "CODE"}},
                 {.noindex_field = false, .build_index = false});
  Rebuild();
  EXPECT_TRUE(Exists("custcode.ntx"));
}

TEST_F(IndexRebuildTest, PackUnlessLibraryAndZapOnlyWhenBothFlagsAllow) {
  WriteCatalogue(
      {{.alias = "PACKED", .name = "packed", .index = "packed", .key = "NAME", .pack = true},
       {.alias = "LIBRARY",
        .name = "library",
        .index = "library",
        .key = "NAME",
        .pack = true,
        .lib = true},
       {.alias = "SCRATCH", .name = "scratch", .index = "scratch", .key = "NAME", .zap = true},
       {.alias = "NOINDEX", .name = "noindex", .pack = true}});
  WriteTable("packed", {"a", "b", "c"}, {2});
  WriteTable("library", {"a", "b", "c"}, {2});
  WriteTable("scratch", {"a", "b"});
  WriteTable("noindex", {"a", "b"}, {1, 2});

  const std::vector<std::string> lines = Rebuild();
  EXPECT_EQ(lines.back(), "[Thinking......] Indexing NOINDEX To");
  EXPECT_EQ(RecordCount("packed"), 2);
  EXPECT_EQ(RecordCount("library"), 3);
  EXPECT_EQ(RecordCount("scratch"), 2);  // called as the update driver calls it
  EXPECT_EQ(RecordCount("noindex"), 0);  // no index named: packed all the same
  EXPECT_TRUE(RecordedErrors().empty());

  Rebuild(/*zap=*/true);
  EXPECT_EQ(RecordCount("scratch"), 0);
  EXPECT_EQ(RecordCount("library"), 3);
  ASSERT_TRUE(OPNALIAS("packed", false));
  EXPECT_EQ(DBORDERINFO(26).integer(), 2);  // keys of the packed table
}

TEST_F(IndexRebuildTest, AKeyThatDoesNotParseIsReportedOnce) {
  WriteCatalogue({{.alias = "BROKEN", .name = "broken", .index = "broken", .key = "NAME+("},
                  {.alias = "CUSTOMER", .name = "customer", .index = "custname", .key = "NAME"}});
  WriteTable("broken", {"a", "b", "c"});
  WriteTable("customer", {"a"});
  Rebuild();
  ASSERT_EQ(RecordedErrors().size(), 1u);
  EXPECT_EQ(RecordedErrors()[0].sub_code, 1449);
  EXPECT_FALSE(Exists("broken.ntx"));
  EXPECT_EQ(RecordCount("broken"), 3);
  EXPECT_TRUE(Exists("custname.ntx"));
}

TEST_F(IndexRebuildTest, ACatalogueHeldElsewhereRebuildsNothing) {
  WriteCatalogue({{.alias = "CUSTOMER", .name = "customer", .index = "custname", .key = "NAME"}},
                 {.build_index = false});
  WriteTable("customer", {"a"});
  int os = 0;
  std::unique_ptr<File> held =
      GetEnv()->OpenFile("indexdef.dbf", FileAccess::kRead, FileShare::kDenyNone, &os);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(Rebuild(), std::vector<std::string>{
                           "[Alert] Indexdef Data file Not Available.  Try again later."});
  EXPECT_EQ(clock_.sleeps(), 2);
  EXPECT_FALSE(Exists("indexdef.ntx"));
  EXPECT_FALSE(Exists("custname.ntx"));
}

}  // namespace
}  // namespace px
