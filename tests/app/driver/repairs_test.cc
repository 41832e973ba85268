// The data repairs: blank keys, quote assembly rows, serial numbers, special colours and
// label-sheet defaults.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/driver/main.h"
#include "app/driver/repairs.h"
#include "app/driver/serial_journal.h"
#include "engine/expr/functions.h"
#include "engine/workarea/registry.h"
#include "tests/app/driver/driver_fixture.h"

namespace px {
namespace {

using test::Row;
using test::Text;

Row Code(const std::string& code, const std::string& name = "") {
  return {{"CODE", Value::String(code)}, {"NAME", Value::String(name)}};
}

std::vector<std::string> LiveCodes(const test::TableData& t, const std::string& field = "CODE") {
  std::vector<std::string> codes;
  for (const Row& r : t.Live()) codes.push_back(Text(r.at(field)));
  return codes;
}

class RepairsTest : public test::DriverTest {
 protected:
  RepairsTest() {
    ApplyInstallerSettings();
    MakeInstallation();
  }
};

TEST_F(RepairsTest, BlankKeysAtTheTopOfTheFirstOrderAreDeleted) {
  const std::vector<test::FieldSpec> fields = {{"CODE", 'C', 6}, {"NAME", 'C', 10}};
  AddTable("customer", fields, {Code("C1", "BRAVO"), Code("", "ZULU"), Code("", "ALPHA")},
           {{"cucode", "CODE"}});
  // First order on the name: only the blank code at its top goes.
  AddTable("staff", fields, {Code("", "ALPHA"), Code("S1", "BRAVO"), Code("", "CHARLIE")},
           {{"stname", "UPPER(NAME)"}, {"stcode", "CODE"}});
  AddTable("cqalt",
           {{"ALUMTYPE", 'C', 4},
            {"GLASTYPE", 'C', 4},
            {"REVEALTYPE", 'C', 4},
            {"FS", 'N', 3},
            {"SS", 'N', 3}},
           {{}, {{"SS", Value::Integer(2)}}, {{"ALUMTYPE", Value::String("AL")}}});
  CHKBLANK();
  EXPECT_EQ(LiveCodes(test::ReadTable(Inst("customer"))), (std::vector<std::string>{"C1"}));
  EXPECT_EQ(LiveCodes(test::ReadTable(Inst("staff"))), (std::vector<std::string>{"S1", ""}));
  EXPECT_EQ(test::ReadTable(Inst("cqalt")).Live().size(), 2u);
  EXPECT_TRUE(OpenAreas().empty());
  // Tables the catalogue does not know are passed over with OPNALIAS's message.
  EXPECT_NE(FindLine(TakeLines(), "Unable to open CQUOTES"), -1);

  CHKBLANK();  // nothing more to do
  EXPECT_EQ(LiveCodes(test::ReadTable(Inst("staff"))), (std::vector<std::string>{"S1", ""}));
}

TEST_F(RepairsTest, CleanupRemovesRowsWithoutQuoteAndNumbersTheRest) {
  std::vector<Row> rows;
  for (const auto& [qcode, serial] : std::vector<std::pair<std::string, int>>{
           {"Q1", 7}, {"", 0}, {"Q2", 0}, {"Q3", 0}, {"", 9}, {"Q4", 0}}) {
    rows.push_back({{"QCODE", Value::String(qcode)}, {"SERIALNO", Value::Integer(serial)}});
  }
  AddTable("cqass", {{"QCODE", 'C', 6}, {"SERIALNO", 'N', 8}}, rows, {{"cqasqno", "QCODE"}});
  AddTable("alumtype",
           {{"CODE", 'C', 4},
            {"SPECIAL", 'L', 1},
            {"WARDROBE", 'L', 1},
            {"SHOWER", 'L', 1},
            {"COMMERCIAL", 'L', 1},
            {"WINDOW", 'L', 1},
            {"DOOR", 'L', 1},
            {"KITS", 'L', 1},
            {"SECURITY", 'L', 1}},
           {{{"CODE", Value::String("SP")}, {"SPECIAL", Value::Logical(true)}},
            {{"CODE", Value::String("NO")}}},
           {{"alcode", "CODE"}});
  std::string message;
  CLEANUP(nullptr, &message, nullptr);
  const test::TableData cqass = test::ReadTable(Inst("cqass"));
  ASSERT_EQ(cqass.rows.size(), 4u);  // packed: record numbers compacted
  std::vector<int64_t> serials;
  for (const Row& r : cqass.rows) serials.push_back(r.at("SERIALNO").integer());
  EXPECT_EQ(serials, (std::vector<int64_t>{7, 101, 102, 103}));
  EXPECT_EQ(test::ReadTable(Inst("sysinfo")).rows[0].at("QUOSERIAL").integer(), 103);
  const test::TableData alum = test::ReadTable(Inst("alumtype"));
  for (const char* flag :
       {"WARDROBE", "SHOWER", "COMMERCIAL", "WINDOW", "DOOR", "KITS", "SECURITY"}) {
    EXPECT_TRUE(alum.rows[0].at(flag).logical()) << flag;
    EXPECT_FALSE(alum.rows[1].at(flag).logical()) << flag;
  }
  EXPECT_EQ(message, "Performing Housekeeping Routine - CLEANUP (Special Colours)");

  CLEANUP(nullptr, &message, nullptr);  // a second run changes nothing
  EXPECT_EQ(test::ReadTable(Inst("sysinfo")).rows[0].at("QUOSERIAL").integer(), 103);
}

// An update stopped between committing the counter and putting the numbered cqass in
// place: the next start gives the numbers back unless they reached cqass or another
// workstation drew one since.
TEST_F(RepairsTest, AnUnfinishedSerialDrawIsUndoneAtTheNextStart) {
  struct Case {
    bool copy_left;   // the packed copy never replaced cqass
    int64_t counter;  // QUOSERIAL found at the start
    int64_t want;     // QUOSERIAL afterwards
  } cases[] = {{true, 103, 100}, {true, 104, 104}, {false, 103, 103}, {true, 100, 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.copy_left) + " " + std::to_string(c.counter));
    std::filesystem::remove(Inst("sysinfo.dbf"));
    test::MakeTable(Inst("sysinfo"), {{"BACKUP", 'N', 5}, {"QUOSERIAL", 'N', 8}},
                    {{{"QUOSERIAL", Value::Integer(c.counter)}}});
    if (c.copy_left) test::WriteFileBytes(Inst("cqass.zpk"), "packed copy");
    ASSERT_TRUE(NoteSerialDraw("", {.packed_file = "cqass.zpk", .before = 100, .after = 103}));
    EXPECT_TRUE(UndoPendingSerialDraw());
    EXPECT_EQ(test::ReadTable(Inst("sysinfo")).rows[0].at("QUOSERIAL").integer(), c.want);
    EXPECT_FALSE(std::filesystem::exists(Inst("cqass.zpk")));
    EXPECT_FALSE(std::filesystem::exists(Inst(kSerialJournal)));
  }
  // A damaged journal is left for support staff rather than guessed at.
  test::WriteFileBytes(Inst(kSerialJournal), "packed\tcqass.zpk\n");
  EXPECT_FALSE(UndoPendingSerialDraw());
  EXPECT_TRUE(std::filesystem::exists(Inst(kSerialJournal)));
}

TEST_F(RepairsTest, SerialNumbersWithoutTheCounterTable) {
  DBSELECTAREA(4);
  std::filesystem::remove(Inst("sysinfo.dbf"));
  EXPECT_EQ(QUOSER().integer(), 0);
  EXPECT_EQ(SELECT(), 4);
}

TEST_F(RepairsTest, LabelDefaultsFillOnlyEmptySettings) {
  AddTable("quotdata",
           {{"LSLENGTH", 'N', 4}, {"LSTOP", 'N', 4}, {"LSWIDTH", 'N', 4}, {"LSMARGIN", 'N', 4}},
           {{{"LSWIDTH", Value::Integer(80)}, {"LSMARGIN", Value::Integer(3)}}});
  SETUP();
  const Row r = test::ReadTable(Inst("quotdata")).rows[0];
  EXPECT_EQ(r.at("LSLENGTH").integer(), 40);
  EXPECT_EQ(r.at("LSTOP").integer(), 1);
  EXPECT_EQ(r.at("LSWIDTH").integer(), 80);
  EXPECT_EQ(r.at("LSMARGIN").integer(), 3);
}

TEST(EmptyValueTest, TheEnginesEmptinessTest) {
  EXPECT_TRUE(expr::IsEmpty(Value::String("   ")));
  EXPECT_FALSE(expr::IsEmpty(Value::String(" x")));
  EXPECT_TRUE(expr::IsEmpty(Value::Integer(0)));
  EXPECT_FALSE(expr::IsEmpty(Value::Double(0.01, 5, 2)));
  EXPECT_TRUE(expr::IsEmpty(Value::Logical(false)));
  EXPECT_TRUE(expr::IsEmpty(Value::Date(0)));
  EXPECT_TRUE(expr::IsEmpty(Value()));
}

}  // namespace
}  // namespace px
