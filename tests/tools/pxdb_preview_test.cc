// pxdb preview on a sample installation: it changes nothing, and the values it says an
// update would cut are exactly those the real update then cuts.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "runtime/env.h"
#include "tests/test_util.h"
#include "tests/tools/pxdb_test_util.h"
#include "tests/tools/sample_update.h"

namespace px {
namespace {

using Json = nlohmann::json;
using test::Pxdb;

// The records of a table, those marked deleted only when asked for: record number and
// fields.
std::vector<std::pair<uint32_t, Json>> Records(const std::string& table, bool deleted_too) {
  std::vector<std::pair<uint32_t, Json>> records;
  std::istringstream lines(Pxdb({"dump", table}).out);
  for (std::string line; std::getline(lines, line);) {
    const Json j = Json::parse(line);
    if (deleted_too || !j["deleted"].get<bool>())
      records.emplace_back(j["recno"].get<uint32_t>(), j["fields"]);
  }
  return records;
}

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

const Json* Loss(const Json& preview, const std::string& field, const std::string& kind) {
  for (const Json& l : preview["tables"][0]["losses"]) {
    if (l["field"] == field && l["kind"] == kind) return &l;
  }
  return nullptr;
}

TEST(PxdbPreviewTest, ShowsWhatTheUpdateWouldDoAndChangesNothing) {
  const struct {
    const char* name;
    int name_len;
    bool drop_fax;
    bool hold_customer;
  } cases[] = {
      {"narrowed and dropped", 12, true, false},
      {"widened, new catalogue", 60, false, false},
      {"widened, table in use", 60, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::ScratchDir dir;
    test::MakeSampleInstallation(dir.File("inst"));
    const bool new_catalogue = std::string(c.name).find("catalogue") != std::string::npos;
    test::MakeCustomerUpdate(dir.File("inst"), dir.File("upd"), c.name_len, c.drop_fax,
                             new_catalogue);
    const auto before = test::TableFiles(dir.File("inst"));
    const auto old_records = Records("inst/customer.dbf", false);

    int code = 0;
    std::unique_ptr<File> held;
    if (c.hold_customer) {
      held = GetEnv()->OpenFile(dir.File("inst/customer.dbf"), FileAccess::kRead,
                                FileShare::kDenyNone, &code);
    }
    const test::PxdbResult r = Pxdb({"preview", "upd", "--folder", "inst", "--json"});
    held.reset();
    const Json preview = Json::parse(r.out);
    EXPECT_TRUE(test::TableFiles(dir.File("inst")) == before);
    EXPECT_TRUE(
        Pxdb({"preview", "upd/PXUPD.zip", "--folder", "inst"}).out.find("customer: rebuilt") !=
        std::string::npos);

    const Json& table = preview["tables"][0];
    EXPECT_EQ(table["table"], "customer");
    EXPECT_EQ(table["action"], "rebuild");
    EXPECT_EQ(table["carried"].get<size_t>(), old_records.size());
    EXPECT_EQ(preview["in_use"].size(), c.hold_customer ? 1u : 0u);
    const bool clean = c.name_len > 40 && !c.hold_customer;
    EXPECT_EQ(r.code, clean ? 0 : 1) << r.out << r.err;
    EXPECT_EQ(preview["clean"].get<bool>(), clean);
    if (c.name_len > 40) {
      EXPECT_EQ(preview["values_lost"], 0);
      EXPECT_EQ(table["changes"][0]["change"], "widened");
      EXPECT_EQ(preview["catalogue_shipped"].get<bool>(), new_catalogue);
      if (new_catalogue) {
        const Json expected = {{{"change", "new alias"},
                                {"alias", "PROMO"},
                                {"index", ""},
                                {"before", ""},
                                {"after", ""}},
                               {{"change", "key changed"},
                                {"alias", "CUSTOMER"},
                                {"index", "CUSTNAME"},
                                {"before", "UPPER(NAME)"},
                                {"after", "UPPER(NAME)+CODE"}}};
        EXPECT_EQ(preview["catalogue"], expected);
      }
      continue;
    }

    // The real update, then the names it cut, matched record by record (the update's
    // repairs mark some records deleted afterwards, which keeps them in place).
    ASSERT_EQ(test::RunInstaller(dir.File("inst"), dir.File("upd")), 0);
    const auto new_records = Records("inst/customer.dbf", true);
    ASSERT_EQ(new_records.size(), old_records.size());
    std::vector<uint32_t> cut, faxes;
    for (size_t i = 0; i < old_records.size(); ++i) {
      const Json& was = old_records[i].second;
      if (TrimRight(was["NAME"]) != TrimRight(new_records[i].second["NAME"])) {
        cut.push_back(old_records[i].first);
      }
      if (!TrimRight(was["FAX"]).empty()) faxes.push_back(old_records[i].first);
    }
    ASSERT_FALSE(cut.empty());
    const Json* name_loss = Loss(preview, "NAME", "cut");
    ASSERT_NE(name_loss, nullptr) << r.out;
    EXPECT_EQ((*name_loss)["count"].get<size_t>(), cut.size());
    cut.resize(std::min<size_t>(cut.size(), 10));
    EXPECT_EQ((*name_loss)["records"].get<std::vector<uint32_t>>(), cut);
    const Json* fax_loss = Loss(preview, "FAX", "lost");
    ASSERT_NE(fax_loss, nullptr) << r.out;
    EXPECT_EQ((*fax_loss)["count"].get<size_t>(), faxes.size());
  }
}

TEST(PxdbPreviewTest, RefusesWhatIsNoUpdate) {
  test::ScratchDir dir;
  test::MakeSampleInstallation(dir.File("inst"));
  test::WriteFileBytes(dir.File("bad.zip"), "not an archive");
  test::ExpectOneLineError(Pxdb({"preview", "nowhere", "--folder", "inst"}), "no update archive");
  test::ExpectOneLineError(Pxdb({"preview", "bad.zip", "--folder", "inst"}),
                           "does not read back whole");
}

}  // namespace
}  // namespace px
