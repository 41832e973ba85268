// Opening tables by alias through the catalogue: OPNALIAS, OPNDBF, OPNIDX, STRIPSPACE.
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

namespace px {
namespace {

using test::CatalogueRow;
using test::WriteCatalogue;
using test::WriteTable;

// Two indexes of customer: by name (record order 3, 1, 2) and by code.
std::vector<CatalogueRow> CustomerRows(const std::string& path = "") {
  return {
      {.alias = "CUSTOMER", .name = "customer", .index = "custname", .key = "NAME", .path = path},
      {.alias = "CUSTOMER", .name = "customer", .index = "custcode", .key = "CODE", .path = path}};
}

class OpenAliasTest : public test::ConsoleUiTest {
 protected:
  OpenAliasTest() {
    GetSettings().deleted = true;
    GetSettings().exclusive = true;
  }

  // Writes a table with its indexes as the catalogue rows name them.
  void WriteIndexedTable(const std::vector<CatalogueRow>& rows) {
    WriteTable(rows[0].path + rows[0].name, {"pear", "quince", "apple"});
    for (const CatalogueRow& row : rows) {
      if (!row.index.empty()) {
        test::BuildIndexDirectly(row.path + row.name, row.path + row.index, row.key);
      }
    }
  }

  static std::string ControllingOrder() { return DBORDERINFO(5).str(); }
  static int64_t OrderCount() { return DBORDERINFO(9).integer(); }

  test::ScratchDir dir_;
  FakeClockEnv clock_{GetEnv()};
  ScopedEnv env_{&clock_};
};

TEST_F(OpenAliasTest, OpensSharedWithIndexesAtFirstRecordAndClosesTheCatalogue) {
  WriteCatalogue(CustomerRows());
  WriteIndexedTable(CustomerRows());
  DBSELECTAREA(5);

  ASSERT_TRUE(OPNALIAS("customer", false));
  EXPECT_EQ(ALIAS(), "CUSTOMER");
  EXPECT_EQ(OrderCount(), 2);
  EXPECT_EQ(ControllingOrder(), "custname");
  EXPECT_EQ(RECNO(), 3u);  // "apple", first in name order
  EXPECT_EQ(SELECT("INDEXDEF"), 0);
  EXPECT_TRUE(TakeLines().empty());
  EXPECT_TRUE(RecordedErrors().empty());
  // Opened shared: a second open of the file is allowed.
  int os = 0;
  EXPECT_NE(GetEnv()->OpenFile("customer.dbf", FileAccess::kRead, FileShare::kDenyNone, &os),
            nullptr);
  // The working variables are gone.
  EXPECT_FALSE(GetMemVars().Exists("THEPATH"));
  EXPECT_FALSE(GetMemVars().Exists("IND1"));
  EXPECT_FALSE(GetMemVars().Exists("CURR_REC"));
}

TEST_F(OpenAliasTest, AnOpenAliasIsReusedWithoutTheCatalogue) {
  WriteCatalogue(CustomerRows());
  WriteIndexedTable(CustomerRows());
  ASSERT_TRUE(OPNALIAS("customer", false));
  const int area = SELECT();
  ORDSETFOCUS(2);
  DBGOTO(uint32_t{2});
  DBSELECTAREA(9);
  // Without a catalogue any look-up would fail.
  ASSERT_EQ(GetEnv()->DeleteFile("indexdef.dbf"), 0);

  ASSERT_TRUE(OPNALIAS("Customer", false));
  EXPECT_EQ(SELECT(), area);
  EXPECT_EQ(ControllingOrder(), "custname");
  EXPECT_EQ(RECNO(), 3u);
  EXPECT_EQ(SELECT("INDEXDEF"), 0);
  EXPECT_TRUE(TakeLines().empty());
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(OpenAliasTest, AnExclusiveReopenReturnsToItsRecordEvenWhenDeleted) {
  WriteCatalogue(CustomerRows());
  WriteIndexedTable(CustomerRows());
  ASSERT_TRUE(OPNALIAS("customer", false));
  DBGOTO(uint32_t{2});
  ASSERT_TRUE(RLOCK());
  DBDELETE();
  DBUNLOCK();

  ASSERT_TRUE(OPNALIAS("customer", true));
  EXPECT_EQ(ALIAS(), "CUSTOMER");
  EXPECT_EQ(RECNO(), 2u);
  EXPECT_TRUE(DELETED());
  EXPECT_EQ(OrderCount(), 2);
  int os = 0;
  EXPECT_EQ(GetEnv()->OpenFile("customer.dbf", FileAccess::kRead, FileShare::kDenyNone, &os),
            nullptr);
  EXPECT_EQ(os, kOsSharingViolation);
}

TEST_F(OpenAliasTest, LookUpKeysAreTheFirstWordOrEightCharacters) {
  std::vector<CatalogueRow> rows = {
      {.alias = "CQ", .name = "cqass", .index = "cqname", .key = "NAME"},
      {.alias = "QUOTDATA1", .name = "quotd1", .index = "qdname", .key = "NAME"},
      {.alias = "QUOTDATA1", .name = "quotd1", .index = "qdcode", .key = "CODE"},
  };
  WriteCatalogue(rows);
  WriteIndexedTable({rows[0]});
  WriteIndexedTable({rows[1], rows[2]});

  ASSERT_TRUE(OPNALIAS("cq ass", false));
  EXPECT_EQ(ALIAS(), "CQASS");
  EXPECT_EQ(OrderCount(), 1);

  // Looked up as QUOTDATA; every index of the record found is opened.
  ASSERT_TRUE(OPNALIAS("quotdata1", false));
  EXPECT_EQ(ALIAS(), "QUOTDATA1");
  EXPECT_EQ(OrderCount(), 2);
  EXPECT_TRUE(TakeLines().empty());
}

TEST_F(OpenAliasTest, AnUnknownAliasIsReportedAndTheAreaKept) {
  WriteCatalogue(CustomerRows());
  WriteIndexedTable(CustomerRows());
  DBSELECTAREA(4);

  EXPECT_FALSE(OPNALIAS("nosuchtable", false));
  EXPECT_EQ(TakeLines(), std::vector<std::string>{
                             "[Alert] Unable to open NOSUCHTA. Try rebuilding index files."});
  EXPECT_EQ(SELECT(), 4);
  EXPECT_EQ(SELECT("INDEXDEF"), 0);
  // A blank alias never matches the first catalogue record.
  EXPECT_FALSE(OPNALIAS(" ", false));
  EXPECT_EQ(TakeLines(),
            std::vector<std::string>{"[Alert] Unable to open . Try rebuilding index files."});
  EXPECT_EQ(SELECT("CUSTOMER"), 0);
}

TEST_F(OpenAliasTest, NineCatalogueRecordsOpenSevenIndexes) {
  std::vector<CatalogueRow> rows;
  for (int i = 1; i <= 9; ++i) {
    rows.push_back({.alias = "PARTS",
                    .name = "parts",
                    .index = "parts" + std::to_string(i),
                    .key = i % 2 == 0 ? "NAME" : "CODE"});
  }
  rows.push_back({.alias = "PARTSX", .name = "partsx", .index = "partsx", .key = "NAME"});
  WriteCatalogue(rows);
  WriteIndexedTable({rows.begin(), rows.end() - 1});

  ASSERT_TRUE(OPNALIAS("parts", false));
  EXPECT_EQ(OrderCount(), 7);
  EXPECT_EQ(DBORDERINFO(5, Value::Integer(7)).str(), "parts7");
}

TEST_F(OpenAliasTest, FoldersPathSubFolderMultiAndUnique) {
  ASSERT_EQ(GetEnv()->MakeDir("data"), 0);
  ASSERT_EQ(GetEnv()->MakeDir("data\\2024"), 0);
  ASSERT_EQ(GetEnv()->MakeDir("data\\bob"), 0);
  std::vector<CatalogueRow> rows = {
      {.alias = "HIST", .name = "hist", .index = "histname", .key = "NAME", .path = "data\\"},
      {.alias = "NET",
       .name = "net",
       .index = "netname",
       .key = "NAME",
       .path = "data\\",
       .multi = true},
      {.alias = "PERSONAL", .name = "personal", .path = "data\\", .unique = true},
  };
  WriteCatalogue(rows);
  WriteIndexedTable({{.name = "hist", .index = "histname", .key = "NAME", .path = "data\\2024\\"}});
  // A MULTI table lies in the network folder, the current folder in this program.
  WriteIndexedTable({{.name = "net", .index = "netname", .key = "NAME"}});
  WriteTable("data\\personal", {"mine"});
  WriteTable("data\\bob\\personal", {"bob's", "two"});

  ASSERT_TRUE(OPNALIAS("hist", false, true, std::string("2024\\")));
  EXPECT_EQ(OrderCount(), 1);

  ASSERT_TRUE(OPNALIAS("net", false));  // _NETWORK does not exist: the current folder
  EXPECT_EQ(OrderCount(), 1);
  DBCLOSEAREA();
  GetMemVars().Set("_NETWORK", Value::String(""));
  ASSERT_TRUE(OPNALIAS("net", false));
  DBCLOSEAREA();

  // The installer never defines _SECURITY: the table lies in PATH, and no error.
  ASSERT_TRUE(OPNALIAS("personal", false));
  EXPECT_EQ(RECCOUNT(), 1u);
  DBCLOSEAREA();
  GetMemVars().Set("_SECURITY", Value::Logical(true));
  GetMemVars().Set("_USER", Value::String("bob "));
  ASSERT_TRUE(OPNALIAS("personal", false));
  EXPECT_EQ(RECCOUNT(), 2u);
  DBCLOSEAREA();
  // Without a user name no user folder is added (never the root folder "\").
  GetMemVars().Set("_USER", Value::String(""));
  ASSERT_TRUE(OPNALIAS("personal", false));
  EXPECT_EQ(RECCOUNT(), 1u);
  EXPECT_TRUE(TakeLines().empty());
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(OpenAliasTest, WithoutIndexesNoOrderIsOpened) {
  WriteCatalogue(CustomerRows());
  WriteIndexedTable(CustomerRows());
  ASSERT_EQ(GetEnv()->DeleteFile("custcode.ntx"), 0);  // not even looked for
  ASSERT_TRUE(OPNALIAS("customer", true, false));
  EXPECT_EQ(OrderCount(), 0);
  EXPECT_EQ(RECNO(), 1u);
  EXPECT_TRUE(TakeLines().empty());
}

TEST_F(OpenAliasTest, AMissingSecondIndexStopsWithTheWaitWindow) {
  WriteCatalogue(CustomerRows());
  WriteIndexedTable(CustomerRows());
  ASSERT_EQ(GetEnv()->DeleteFile("custcode.ntx"), 0);
  DBSELECTAREA(3);

  EXPECT_FALSE(OPNALIAS("customer", false));
  EXPECT_EQ(TakeLines(),
            (std::vector<std::string>{
                "[Information] Index file custcode.NTX not found. Try rebuilding index files",
                "[Alert] Unable to Open Index Files"}));
  EXPECT_EQ(clock_.slept_micros(), 2'000'000);
  EXPECT_EQ(SELECT("CUSTOMER"), 0);
  EXPECT_EQ(SELECT("INDEXDEF"), 0);
  EXPECT_EQ(SELECT(), 3);
}

TEST_F(OpenAliasTest, AMissingTableIsReportedWithAFloppyHint) {
  WriteCatalogue({{.alias = "ARCHIVE", .name = "archive", .path = "floppy\\", .floppy = true},
                  {.alias = "GONE", .name = "gone", .path = "data\\"}});
  EXPECT_FALSE(OPNALIAS("archive", false));
  EXPECT_EQ(TakeLines(), (std::vector<std::string>{
                             "[Alert] Unable to open floppy\\archive.DBF. File does not exist",
                             "[Alert] Check floppy is in the correct drive"}));
  EXPECT_FALSE(OPNALIAS("gone", false));
  EXPECT_EQ(TakeLines(),
            std::vector<std::string>{"[Alert] Unable to open data\\gone.DBF. File does not exist"});
  EXPECT_TRUE(OpenAreas().empty());
}

TEST_F(OpenAliasTest, TablesHeldElsewhereCostElevenAttempts) {
  WriteCatalogue(CustomerRows());
  WriteIndexedTable(CustomerRows());
  int os = 0;
  {
    // Another workstation holds the table.
    std::unique_ptr<File> held =
        GetEnv()->OpenFile("customer.dbf", FileAccess::kReadWrite, FileShare::kExclusive, &os);
    ASSERT_NE(held, nullptr);
    EXPECT_FALSE(OPNALIAS("customer", true));
    EXPECT_EQ(TakeLines(), std::vector<std::string>{"[Alert] Unable to Open (DBF) customer"});
    EXPECT_EQ(clock_.sleeps(), 11);
    EXPECT_TRUE(OpenAreas().empty());
  }
  {
    // ... or the catalogue: no search of an empty area, no spurious errors.
    std::unique_ptr<File> held =
        GetEnv()->OpenFile("indexdef.dbf", FileAccess::kReadWrite, FileShare::kExclusive, &os);
    ASSERT_NE(held, nullptr);
    EXPECT_FALSE(OPNALIAS("customer", false));
    EXPECT_EQ(TakeLines(), std::vector<std::string>{
                               "[Alert] Unable to open CUSTOMER. Try rebuilding index files."});
    EXPECT_EQ(clock_.sleeps(), 22);
  }
  EXPECT_TRUE(RecordedErrors().empty());
  EXPECT_TRUE(OpenAreas().empty());
}

TEST_F(OpenAliasTest, OpndbfTakesItsIndexesAndAlias) {
  WriteIndexedTable(CustomerRows());
  ASSERT_TRUE(OPNDBF("customer", false, "", "custcode"));
  EXPECT_EQ(ALIAS(), "CUSTOMER");
  EXPECT_EQ(OrderCount(), 1);
  EXPECT_EQ(ControllingOrder(), "custcode");
  EXPECT_EQ(RECNO(), 1u);
  // Open already under that alias: selected as it is.
  DBSELECTAREA(10);
  ASSERT_TRUE(OPNDBF("other", true, "custname", "", "", "", "", std::string("customer")));
  EXPECT_EQ(ALIAS(), "CUSTOMER");
  EXPECT_EQ(OrderCount(), 1);
  // Another alias opens the same file a second time in the lowest free area.
  ASSERT_TRUE(OPNDBF("customer", false, "custname", "custcode", "", "", "", std::string("c2")));
  EXPECT_EQ(SELECT(), 2);
  EXPECT_EQ(OrderCount(), 2);
  // A file that does not exist fails at once, without retries.
  EXPECT_FALSE(OPNDBF("nothing", false));
  EXPECT_EQ(clock_.sleeps(), 0);
  EXPECT_EQ(SELECT("NOTHING"), 0);
}

TEST(StripSpaceTest, RemovesBlanksAndMeasuresTheFirstWord) {
  int position = 0;
  EXPECT_EQ(STRIPSPACE("cq ass", &position), "cqass");
  EXPECT_EQ(position, 2);
  position = 0;
  EXPECT_EQ(STRIPSPACE("a b c", &position), "abc");
  EXPECT_EQ(position, 1);
  position = 0;
  EXPECT_EQ(STRIPSPACE("quotdata1", &position), "quotdata1");
  EXPECT_EQ(position, 8);
  position = 3;  // a position given keeps its value at blanks
  EXPECT_EQ(STRIPSPACE("ab cd", &position), "abcd");
  EXPECT_EQ(position, 3);
  EXPECT_EQ(STRIPSPACE("  x  "), "x");
}

}  // namespace
}  // namespace px
