// pxdb rebuild and pxdb open: the installer's index rebuild and alias look-up run on an
// installation folder.
#include <gtest/gtest.h>

#include <sstream>

#include "runtime/env.h"
#include "tests/test_util.h"
#include "tests/tools/pxdb_test_util.h"
#include "tools/pxdb/pxdb.h"

namespace px {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;

using Result = test::PxdbResult;
using test::Pxdb;
std::string Row(const std::string& alias, const std::string& name, const std::string& index,
                const std::string& key, const std::string& path = "") {
  return "{\"DB_ALIAS\":\"" + alias + "\",\"DB_NAME\":\"" + name + "\",\"IN_NAME\":\"" + index +
         "\",\"IN_STR\":\"" + key + "\",\"PATH\":\"" + path + "\"}\n";
}

// An installation in the sub-folder "inst" of the scratch folder: a catalogue and two
// tables, one of them in a data folder.
class PxdbRebuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetEnv()->MakeDir("inst"), 0);
    ASSERT_EQ(GetEnv()->MakeDir("inst/data"), 0);
    ASSERT_EQ(Pxdb({"create", "inst/indexdef", "DB_ALIAS:C:10", "DB_NAME:C:8", "IN_NAME:C:8",
                    "IN_STR:C:60", "PATH:C:20", "PACK:L:1", "ZAPONINIT:L:1", "LIB:L:1"})
                  .code,
              0);
    ASSERT_EQ(Pxdb({"create", "inst/customer", "NAME:C:12", "CODE:N:6", "DUE:D:8"}).code, 0);
    ASSERT_EQ(Pxdb({"append", "inst/customer"},
                   "{\"NAME\":\"pear\",\"CODE\":7,\"DUE\":\"20240105\"}\n"
                   "{\"NAME\":\"Apple\",\"CODE\":-3,\"DUE\":\"\"}\n"
                   "{\"NAME\":\"fig\",\"CODE\":12,\"DUE\":\"20231231\"}\n")
                  .code,
              0);
    ASSERT_EQ(Pxdb({"create", "inst/data/orders", "ORDNO:N:8", "CUST:C:12"}).code, 0);
    ASSERT_EQ(Pxdb({"append", "inst/data/orders"},
                   "{\"ORDNO\":30,\"CUST\":\"fig\"}\n{\"ORDNO\":10,\"CUST\":\"pear\"}\n")
                  .code,
              0);
  }

  void WriteCatalogue(const std::string& rows) {
    const Result r = Pxdb({"append", "inst/indexdef"}, rows);
    ASSERT_EQ(r.code, 0) << r.err;
  }

  ScratchDir dir_;
};

TEST_F(PxdbRebuildTest, RebuildsLikePxdbIndexAndReportsProblems) {
  WriteCatalogue(Row("CUSTOMER", "customer", "custname", "UPPER(NAME)") +
                 Row("CUSTOMER", "customer", "custdue", "DTOS(DUE)+STR(CODE,6)") +
                 Row("GONE", "gone", "gone", "NAME") +
                 Row("ORDERS", "orders", "ordno", "ORDNO", "data\\\\"));
  const std::string before = GetEnv()->CurrentDir();
  Result r = Pxdb({"rebuild", "inst"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out,
            "[Rebuilding Index Files] \n"
            "[Rebuilding Index Files] Indexing INDEXDEF\n"
            "[Rebuilding Index Files] Preparing Array of Databases\n"
            "[Rebuilding Index Files] Indexing CUSTOMER To CUSTNAME\n"
            "[Rebuilding Index Files] Indexing CUSTOMER To CUSTDUE\n"
            "[Alert] Unable to open gone.DBF. File does not exist\n"
            "[Rebuilding Index Files] Indexing ORDERS To ORDNO\n");
  EXPECT_EQ(r.err, "pxdb: the rebuild reported 1 problem\n");
  EXPECT_EQ(GetEnv()->CurrentDir(), before);

  // Byte for byte what pxdb index makes of the same table and key.
  const struct {
    const char* table;
    const char* rebuilt;
    const char* key;
  } cases[] = {{"inst/customer", "inst/custname.ntx", "UPPER(NAME)"},
               {"inst/customer", "inst/custdue.ntx", "DTOS(DUE)+STR(CODE,6)"},
               {"inst/data/orders", "inst/data/ordno.ntx", "ORDNO"}};
  for (const auto& c : cases) {
    r = Pxdb({"index", c.table, "direct.ntx", c.key});
    ASSERT_EQ(r.code, 0) << c.key << ": " << r.err;
    EXPECT_EQ(ReadFileBytes(dir_.File(c.rebuilt)), ReadFileBytes(dir_.File("direct.ntx")))
        << c.rebuilt;
  }

  // Without problems the exit code is 0.
  ASSERT_EQ(Pxdb({"create", "inst/gone", "NAME:C:4"}).code, 0);
  r = Pxdb({"rebuild", dir_.File("inst")});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Indexing GONE To GONE\n"), std::string::npos);
  EXPECT_NE(r.out.find("index files rebuilt\n"), std::string::npos);
}

TEST_F(PxdbRebuildTest, PassedOverIndexesThatAreMissingAreReported) {
  ASSERT_EQ(
      Pxdb({"create", "--force", "inst/indexdef", "DB_ALIAS:C:10", "DB_NAME:C:8", "IN_NAME:C:8",
            "IN_STR:C:60", "PATH:C:20", "PACK:L:1", "ZAPONINIT:L:1", "LIB:L:1", "NOINDEX:L:1"})
          .code,
      0);
  auto no_index = [](std::string row) { return row.insert(row.size() - 2, ",\"NOINDEX\":true"); };
  WriteCatalogue(no_index(Row("CUSTOMER", "customer", "custname", "UPPER(NAME)")) +
                 Row("CUSTOMER", "customer", "custcode", "CODE") +
                 no_index(Row("ORDERS", "orders", "ordno", "ORDNO", "data\\\\")));
  ASSERT_EQ(Pxdb({"index", "inst/data/orders", "inst/data/ordno.ntx", "ORDNO"}).code, 0);

  // custname.ntx does not exist and the rebuild does not make it; ordno.ntx exists.
  Result r = Pxdb({"rebuild", "inst"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("Indexing CUSTOMER To CUSTCODE\n"
                       "customer: the index custname.ntx is missing and NOINDEX keeps the "
                       "rebuild from making it\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("ordno"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "pxdb: the rebuild reported 1 problem\n");
  // The check counts it as a fault, as it counts every missing index.
  r = Pxdb({"check", "--catalogue", "inst"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("custname.ntx is missing"), std::string::npos) << r.out;

  ASSERT_EQ(Pxdb({"index", "inst/customer", "inst/custname.ntx", "UPPER(NAME)"}).code, 0);
  r = Pxdb({"rebuild", "inst"});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
}

TEST_F(PxdbRebuildTest, FoldersWithoutACatalogueAreRefused) {
  Result r = Pxdb({"rebuild", "inst/data"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "pxdb: there is no table catalogue indexdef.dbf in inst/data\n");
  r = Pxdb({"rebuild", "nowhere"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "pxdb: cannot enter the folder nowhere\n");
  r = Pxdb({"open", "customer"});  // the scratch folder itself has no catalogue
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "pxdb: there is no table catalogue indexdef.dbf in the current folder\n");
}

TEST_F(PxdbRebuildTest, OpenReportsWhatTheLookUpFound) {
  WriteCatalogue(Row("CUSTOMER", "customer", "custname", "UPPER(NAME)") +
                 Row("CUSTOMER", "customer", "custcode", "CODE") +
                 Row("ORDERS", "orders", "ordno", "ORDNO", "data\\\\") +
                 Row("GONE", "gone", "", ""));
  ASSERT_EQ(Pxdb({"rebuild", "inst"}).code, 1);

  Result r = Pxdb({"open", "customer", "--folder", "inst"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "alias: CUSTOMER\nfolder: \nfile: customer.dbf\nrecords: 3\n"
            "index 1: custname.ntx UPPER(NAME)\nindex 2: custcode.ntx CODE\n");
  r = Pxdb({"open", "Orders", "--exclusive", "--folder", "inst"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "alias: ORDERS\nfolder: data\\\nfile: orders.dbf\nrecords: 2\n"
            "index 1: data\\ordno.ntx ORDNO\n");

  r = Pxdb({"open", "gone", "--folder", "inst"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "pxdb: [Alert] Unable to open gone.DBF. File does not exist\n");
  r = Pxdb({"open", "nothing", "--folder", "inst"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "pxdb: [Alert] Unable to open NOTHING. Try rebuilding index files.\n");
}

}  // namespace
}  // namespace px
