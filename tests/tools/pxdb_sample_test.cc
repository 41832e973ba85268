// pxdb sample and pxdb check --catalogue: a generated installation is deterministic,
// complete and sound, holds what the post-update repairs look for, and its indexes are
// the ones pxdb index builds; a damaged installation fails the check with a line that
// names what is wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "app/data/catalogue_fields.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "runtime/error.h"
#include "tests/engine/faulty_env.h"
#include "tests/test_util.h"
#include "tests/tools/pxdb_test_util.h"
#include "tools/pxdb/pxdb.h"
#include "tools/pxdb/sample_installation.h"

namespace px {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

using Result = test::PxdbResult;
using test::Pxdb;
std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool HasLine(const std::string& out, const std::string& part) {
  return out.find(part) != std::string::npos;
}

class PxdbSampleTest : public ::testing::Test {
 protected:
  // Generates an installation in the folder "inst" of the scratch folder.
  void Generate(int scale) {
    const Result r = Pxdb({"sample", "inst", "--scale", std::to_string(scale)});
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_TRUE(HasLine(r.out, "indexdef: ")) << r.out;
  }
  std::string Inst(const std::string& name) const { return dir_.File("inst/" + name); }

  ScratchDir dir_;
};

TEST_F(PxdbSampleTest, SameScaleGivesSameBytesApartFromHeaderDates) {
  ASSERT_EQ(Pxdb({"sample", "a", "--scale", "1"}).code, 0);
  ASSERT_EQ(Pxdb({"sample", "b", "--scale", "1"}).code, 0);
  const std::vector<std::string> names = FileNames(dir_.File("a"));
  ASSERT_EQ(names, FileNames(dir_.File("b")));
  int tables = 0;
  for (const std::string& name : names) {
    std::string a = ReadFileBytes(dir_.File("a/" + name));
    std::string b = ReadFileBytes(dir_.File("b/" + name));
    if (name.size() > 4 && name.substr(name.size() - 4) == ".dbf") {
      ++tables;
      ASSERT_GE(a.size(), 4u);
      ASSERT_GE(b.size(), 4u);
      a.replace(1, 3, "YMD");  // date of last update
      b.replace(1, 3, "YMD");
    }
    EXPECT_TRUE(a == b) << name << " differs";
  }
  EXPECT_EQ(tables, static_cast<int>(pxdb::SampleTables().size()) + 1);

  // Another scale gives other records.
  ASSERT_EQ(Pxdb({"sample", "c", "--scale", "2"}).code, 0);
  EXPECT_GT(test::FileSize(dir_.File("c/cqass.dbf")), test::FileSize(dir_.File("a/cqass.dbf")));
}

TEST_F(PxdbSampleTest, EveryCatalogueRowHasItsFilesAndTheCheckPasses) {
  Generate(1);
  ASSERT_TRUE(DBUSEAREA(true, "", Inst("indexdef.dbf"), "INDEXDEF", false, true));
  std::set<std::string> aliases;
  for (DBGOTOP(); !EOF_(); DBSKIP()) {
    const std::string alias = FIELDGET(FIELDPOS("DB_ALIAS")).str();
    aliases.insert(alias.substr(0, alias.find(' ')));
    std::string table = FIELDGET(FIELDPOS("DB_NAME")).str();
    std::string index = FIELDGET(FIELDPOS("IN_NAME")).str();
    table.erase(table.find_last_not_of(' ') + 1);
    index.erase(index.find_last_not_of(' ') + 1);
    EXPECT_TRUE(std::filesystem::exists(Inst(table + ".dbf"))) << table;
    if (!index.empty()) {
      EXPECT_TRUE(std::filesystem::exists(Inst(index + ".ntx"))) << index;
    }
  }
  DBCLOSEAREA();
  for (const char* alias :
       {"CUSTOMER", "CQUOTES", "CQALT", "STDASS", "GLASTYPE", "GLASCAT", "ALUMTYPE", "ALUMCAT",
        "STAFF", "USERS", "SALESID", "CUSTCAT", "CQASS", "SYSINFO", "QUOTDATA"}) {
    EXPECT_EQ(aliases.count(alias), 1u) << alias;
  }

  const Result r = Pxdb({"check", "--catalogue", "inst"});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("catalogue ok: 20 tables, 32 indexes, ", 0), 0u) << r.out;

  // The current folder is the default.
  std::filesystem::current_path(dir_.File("inst"));
  EXPECT_EQ(Pxdb({"check", "--catalogue"}).code, 0);
}

// The repairs that follow an update find work in a fresh installation.
TEST_F(PxdbSampleTest, HoldsWhatTheRepairsLookFor) {
  Generate(0);
  auto open = [&](const char* table, const char* index) {
    ASSERT_TRUE(DBUSEAREA(true, "", Inst(table), "", false, true)) << table;
    if (index != nullptr) ORDLISTADD(Inst(index));
    DBGOTOP();
  };
  // Master tables: the first index order puts blank keys first.
  const std::pair<const char*, const char*> masters[] = {
      {"customer", "CODE"},  {"cquotes", "CODE"},  {"stdass", "SHORTCUT"}, {"glastype", "CODE"},
      {"glascat", "CODE"},   {"alumtype", "CODE"}, {"alumcat", "CODE"},    {"staff", "CODE"},
      {"users", "USERNAME"}, {"salesid", "CODE"},  {"custcat", "CODE"}};
  for (const auto& master : masters) {
    const char* const table = master.first;
    const char* const field = master.second;
    const auto& tables = pxdb::SampleTables();
    const auto it = std::find_if(tables.begin(), tables.end(),
                                 [&](const pxdb::SampleTable& t) { return t.alias == table; });
    ASSERT_NE(it, tables.end());
    open(table, it->indexes.front().name.c_str());
    EXPECT_EQ(FIELDGET(FIELDPOS(field)).str().find_first_not_of(' '), std::string::npos)
        << table << " has no blank key at the top of its first order";
    DBCLOSEAREA();
  }

  // Quote alternatives with all five type fields blank, and one with only SS.
  open("cqalt", nullptr);
  int all_blank = 0, only_ss = 0;
  for (; !EOF_(); DBSKIP()) {
    std::string types;
    for (const char* f : {"ALUMTYPE", "GLASTYPE", "REVEALTYPE", "FS"}) {
      types += FIELDGET(FIELDPOS(f)).str();
    }
    const bool blank = types.find_first_not_of(' ') == std::string::npos;
    const bool ss = FIELDGET(FIELDPOS("SS")).str().find_first_not_of(' ') != std::string::npos;
    all_blank += blank && !ss;
    only_ss += blank && ss;
  }
  EXPECT_GE(all_blank, 1);
  EXPECT_EQ(only_ss, 1);
  DBCLOSEAREA();

  // Quote lines without a quote code or a serial number; the counter is at the highest
  // serial number given.
  open("cqass", nullptr);
  int no_code = 0, no_serial = 0;
  int64_t highest = 0;
  for (; !EOF_(); DBSKIP()) {
    no_code += FIELDGET(FIELDPOS("QCODE")).str().find_first_not_of(' ') == std::string::npos;
    const int64_t serial = FIELDGET(FIELDPOS("SERIALNO")).integer();
    no_serial += serial == 0;
    highest = std::max(highest, serial);
  }
  EXPECT_GE(no_code, 1);
  EXPECT_GE(no_serial, 2);
  DBCLOSEAREA();
  open("sysinfo", nullptr);
  EXPECT_EQ(FIELDGET(FIELDPOS("QUOSERIAL")).integer(), highest);
  DBCLOSEAREA();

  // Special aluminium types not yet in every category; label settings empty.
  open("alumtype", nullptr);
  int special_closed = 0;
  for (; !EOF_(); DBSKIP()) {
    special_closed +=
        FIELDGET(FIELDPOS("SPECIAL")).logical() && !FIELDGET(FIELDPOS("WARDROBE")).logical();
  }
  DBCLOSEAREA();
  EXPECT_GE(special_closed, 1);
  open("quotdata", nullptr);
  EXPECT_EQ(FIELDGET(FIELDPOS("LSLENGTH")).integer(), 0);
  EXPECT_EQ(FIELDGET(FIELDPOS("LSWIDTH")).integer(), 0);
  DBCLOSEAREA();
}

TEST_F(PxdbSampleTest, IndexesAreTheOnesPxdbIndexBuilds) {
  Generate(1);
  for (const pxdb::SampleTable& t : pxdb::SampleTables()) {
    for (const pxdb::SampleIndex& index : t.indexes) {
      const Result r = Pxdb({"index", Inst(t.file), dir_.File("again"), index.key});
      ASSERT_EQ(r.code, 0) << index.name << ": " << r.err;
      EXPECT_TRUE(ReadFileBytes(Inst(index.name + ".ntx")) == ReadFileBytes(dir_.File("again.ntx")))
          << index.name << " differs from the index pxdb index builds";
    }
  }
  // The catalogue's key names its alias, so it is built with the catalogue under it.
  ASSERT_TRUE(DBUSEAREA(true, "", Inst("indexdef.dbf"), "INDEXDEF", false, true));
  DBCREATEINDEX(dir_.File("again"), kCatalogueKeyText);
  DBCLOSEAREA();
  EXPECT_TRUE(ReadFileBytes(Inst("indexdef.ntx")) == ReadFileBytes(dir_.File("again.ntx")));
}

TEST_F(PxdbSampleTest, CheckNamesDamagedTruncatedAndMissingFiles) {
  Generate(0);
  ASSERT_EQ(Pxdb({"check", "--catalogue", "inst"}).code, 0);

  // A few bytes of the first key of the first page changed.
  const std::string good = ReadFileBytes(Inst("custname.ntx"));
  std::string bytes = good;
  ASSERT_GE(bytes.size(), 2048u);
  const size_t first_item =
      1024 + (static_cast<uint8_t>(bytes[1026]) | static_cast<uint8_t>(bytes[1027]) << 8);
  for (size_t i = first_item + 8; i < first_item + 14; ++i) bytes[i] = '~';
  WriteFileBytes(Inst("custname.ntx"), bytes);
  Result r = Pxdb({"check", "--catalogue", "inst"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(HasLine(r.out, "customer: the index ")) << r.out;
  EXPECT_TRUE(HasLine(r.out, "custname.ntx: ")) << r.out;
  WriteFileBytes(Inst("custname.ntx"), good);

  // A truncated index: cut inside its header, then inside its first page.
  const std::string cq = ReadFileBytes(Inst("cqasser.ntx"));
  for (size_t size : {size_t{100}, size_t{1500}}) {
    WriteFileBytes(Inst("cqasser.ntx"), cq.substr(0, size));
    r = Pxdb({"check", "--catalogue", "inst"});
    EXPECT_EQ(r.code, 1) << size;
    EXPECT_TRUE(HasLine(r.out, "cqass: the index ")) << r.out;
    EXPECT_TRUE(HasLine(r.out, "cqasser.ntx")) << r.out;
  }
  WriteFileBytes(Inst("cqasser.ntx"), cq);

  // A damaged catalogue index is found too.
  const std::string cat = ReadFileBytes(Inst("indexdef.ntx"));
  WriteFileBytes(Inst("indexdef.ntx"), cat.substr(0, 1030));
  r = Pxdb({"check", "--catalogue", "inst"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(HasLine(r.out, "indexdef: the index ")) << r.out;
  WriteFileBytes(Inst("indexdef.ntx"), cat);
  ASSERT_EQ(Pxdb({"check", "--catalogue", "inst"}).code, 0);

  // Missing table, missing memo file, missing index: one line each, the rest checked.
  std::filesystem::remove(Inst("glascat.dbf"));
  std::filesystem::remove(Inst("stdass.dbt"));
  std::filesystem::remove(Inst("staffnam.ntx"));
  r = Pxdb({"check", "--catalogue", "inst"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(HasLine(r.out, "glascat: the table ")) << r.out;
  EXPECT_TRUE(HasLine(r.out, "glascat.dbf is missing")) << r.out;
  EXPECT_TRUE(HasLine(r.out, "stdass: the table ")) << r.out;
  EXPECT_TRUE(HasLine(r.out, "staffnam.ntx is missing")) << r.out;
  EXPECT_TRUE(HasLine(r.out, "3 faults")) << r.out;

  // No catalogue at all.
  std::filesystem::remove(Inst("indexdef.dbf"));
  r = Pxdb({"check", "--catalogue", "inst"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(HasLine(r.out, "indexdef.dbf is missing")) << r.out;
}

TEST_F(PxdbSampleTest, CheckFindsAnIndexWhoseKeyIsNotTheCatalogues) {
  Generate(0);
  // Rebuild custname on another key: sound in itself, but not what the catalogue says.
  ASSERT_EQ(Pxdb({"index", Inst("customer"), Inst("custname"), "UPPER(CONTACT)"}).code, 0);
  const Result r = Pxdb({"check", "--catalogue", "inst"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(HasLine(r.out,
                      "custname.ntx has the key UPPER(CONTACT) where the catalogue says "
                      "UPPER(NAME)"))
      << r.out;
}

// A catalogue PATH is relative to the installation folder and ends with a backslash.
TEST_F(PxdbSampleTest, CheckFindsTablesInTheirCataloguePath) {
  Generate(0);
  auto set_path = [&](const std::string& path) {
    ASSERT_TRUE(DBUSEAREA(true, "", Inst("indexdef.dbf"), "INDEXDEF", false, false));
    for (DBGOTOP(); !EOF_(); DBSKIP()) {
      if (FIELDGET(FIELDPOS("DB_ALIAS")).str().rfind("STAFF ", 0) == 0) {
        FIELDPUT(FIELDPOS("PATH"), Value::String(path));
      }
    }
    DBCLOSEAREA();
  };
  set_path("data\\");
  std::filesystem::create_directory(Inst("data"));
  for (const char* f : {"staff.dbf", "staffcod.ntx", "staffnam.ntx"}) {
    std::filesystem::rename(Inst(f), Inst(std::string("data/") + f));
  }
  Result r = Pxdb({"check", "--catalogue", "inst"});
  EXPECT_EQ(r.code, 0) << r.out;

  set_path("elsewhere\\");
  r = Pxdb({"check", "--catalogue", "inst"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(HasLine(r.out, "staff: the table inst/elsewhere/staff.dbf is missing")) << r.out;
}

TEST_F(PxdbSampleTest, RefusesBadArgumentsAndNeverOverwritesTables) {
  Generate(0);
  const std::string before = ReadFileBytes(Inst("customer.dbf"));
  Result r = Pxdb({"sample", "inst"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(HasLine(r.err, "already holds table files")) << r.err;
  EXPECT_TRUE(ReadFileBytes(Inst("customer.dbf")) == before);

  EXPECT_EQ(Pxdb({"sample", "x", "--scale", "-1"}).code, 2);
  EXPECT_EQ(Pxdb({"sample", "x", "--scale", "100000"}).code, 2);
  WriteFileBytes(dir_.File("plain"), "text");
  r = Pxdb({"sample", "plain"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(HasLine(r.err, "not a folder")) << r.err;

  EXPECT_NE(Pxdb({"check"}).code, 0);
  EXPECT_NE(Pxdb({"check", "--catalogue", "inst", "t", "n"}).code, 0);
}

// A disk that fills up stops the generator at the first table, with its file named.
TEST_F(PxdbSampleTest, AFullDiskStopsTheGeneratorWithTheFileNamed) {
  test::FaultyEnv faulty;
  faulty.faults.short_writes = true;
  ScopedEnv env(&faulty);
  pxdb::SampleResult result;
  std::string error;
  EXPECT_FALSE(pxdb::MakeSampleInstallation("inst", 1, &result, &error));
  EXPECT_TRUE(HasLine(error, "customer.dbf")) << error;
  EXPECT_TRUE(result.tables.empty());
}

}  // namespace
}  // namespace px
