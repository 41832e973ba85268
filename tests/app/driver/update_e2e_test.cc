// The whole installer (MAIN with the console user interface) on generated sample
// installations: a complete update, and the ways an update is cut short or refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/data/catalogue_fields.h"
#include "app/driver/catalogue_reset.h"
#include "app/driver/main.h"
#include "archive/zip_writer.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/dos_path.h"
#include "runtime/memvars.h"
#include "tests/app/driver/driver_fixture.h"
#include "tools/pxdb/catalogue_check.h"
#include "tools/pxdb/sample_installation.h"

namespace px {
namespace {

using test::FieldSpec;
using test::OpenElsewhere;
using test::ReadFileBytes;
using test::Row;
using test::TableData;
using test::Text;

std::vector<FieldSpec> SampleFields(const std::string& alias) {
  for (const pxdb::SampleTable& t : pxdb::SampleTables()) {
    if (t.alias != alias) continue;
    std::vector<FieldSpec> fields;
    for (const FieldDef& f : t.fields) {
      fields.push_back({f.name, f.type, static_cast<int>(f.len), static_cast<int>(f.dec)});
    }
    return fields;
  }
  ADD_FAILURE() << "no sample table " << alias;
  return {};
}

// The customer table of the update: NAME widened, FAX dropped, a number and a memo
// added.
std::vector<FieldSpec> NewCustomerFields() {
  std::vector<FieldSpec> fields;
  for (FieldSpec f : SampleFields("customer")) {
    if (f.name == "FAX") continue;
    if (f.name == "NAME") f.len = 50;
    fields.push_back(f);
  }
  fields.push_back({"BALANCE", 'N', 12, 2});
  fields.push_back({"HISTORY", 'M', 10});
  return fields;
}

bool SameFields(const std::vector<FieldSpec>& a, const std::vector<FieldSpec>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].len != b[i].len ||
        a[i].dec != b[i].dec) {
      return false;
    }
  }
  return true;
}

// Values compare as the application reads them: text without its trailing blanks.
bool SameValue(const Value& a, const Value& b) {
  if ((a.is_string() || a.type() == Value::Type::kMemo) &&
      (b.is_string() || b.type() == Value::Type::kMemo)) {
    return Text(a) == Text(b);
  }
  return a == b;
}

class UpdateE2eTest : public test::DriverTest {
 protected:
  // A generated installation of the given scale, with a site folder for one table and
  // the two logo files; the program PX notes that it was started.
  void Generate(int scale) {
    ApplyInstallerSettings();
    pxdb::SampleResult result;
    std::string error;
    ASSERT_TRUE(pxdb::MakeSampleInstallation(Inst(), scale, &result, &error)) << error;
    test::WriteFileBytes(Inst("PX"), "#!/bin/sh\nexit 0\n");
    std::filesystem::permissions(Inst("PX"), std::filesystem::perms::owner_all);
    test::WriteFileBytes(Inst("LOGO.BMP"), "site logo");
    test::WriteFileBytes(Inst("logop.bmp"), "site print logo");
    // The first update of this site: the backup counter at 0.
    SetField("sysinfo", "BACKUP", Value::Integer(0));
    // The site keeps its suppliers in a folder of its own, which only its catalogue
    // knows.
    std::filesystem::create_directories(Inst("DATA"));
    for (const char* f : {"supplier.dbf", "supplier.ntx", "supname.ntx"}) {
      std::filesystem::rename(Inst(f), Inst(std::string("DATA/") + f));
    }
    SetPath("SUPPLIER", "DATA\\");
    catalogue_ = test::ReadTable(Inst("indexdef"));
  }

  void SetPath(const std::string& alias, const std::string& path) {
    DBSELECTAREA(0);
    ASSERT_TRUE(DBUSEAREA(false, "", Inst("indexdef"), "indexdef", false, false));
    for (DBGOTOP(); !EOF_(); DBSKIP(1)) {
      if (Text(FIELDGET(FIELDPOS("DB_ALIAS"))) == alias)
        FIELDPUT(FIELDPOS("PATH"), Value::String(path));
    }
    DBCLOSEAREA();
  }

  void SetField(const std::string& table, const char* field, const Value& v) {
    DBSELECTAREA(0);
    ASSERT_TRUE(DBUSEAREA(false, "", Inst(table), "SETFIELD", false, false));
    DBGOTOP();
    FIELDPUT(FIELDPOS(field), v);
    DBCLOSEAREA();
  }

  // The update: customer rebuilt with a new structure, glastype replaced with the
  // records it brings, a new table promo, and a new catalogue that knows promo.
  void MakeSampleUpdate(const std::string& password = "tamrok") {
    std::vector<Row> shipped;
    for (Row r : catalogue_.Live()) {
      r["PATH"] = Value::String("");
      shipped.push_back(r);
    }
    shipped.push_back({{"DB_ALIAS", Value::String("PROMO")},
                       {"DB_NAME", Value::String("promo")},
                       {"IN_NAME", Value::String("promocod")},
                       {"IN_STR", Value::String("CODE")}});
    MakeUpdate(
        {{.name = "customer", .fields = NewCustomerFields()},
         {.name = "glastype",
          .bring_recs = true,
          .fields = SampleFields("glastype"),
          .rows = {{{"CODE", Value::String("4CL")}, {"DESC", Value::String("4mm clear")}},
                   {{"CODE", Value::String("6LAM")}, {"DESC", Value::String("6.38mm laminated")}}}},
         {.name = "promo",
          .fields = {{"CODE", 'C', 6}, {"DESC", 'C', 30}},
          .rows = {{{"CODE", Value::String("SPRING")}}, {{"CODE", Value::String("WINTER")}}}},
         {.name = "indexdef", .bring_recs = true, .fields = catalogue_.fields, .rows = shipped}},
        {{"logo.bmp", "shipped logo"},
         {"LOGOP.BMP", "shipped print logo"},
         {"frame.bmp", "new picture"},
         {"pxhelp.exe", "program"},
         {"KVRZIPDLL.DLL", "zip library"},
         {"pxprint.dll", "library"}},
        password);
  }

  // Runs the installer; the dialog gets `answer`.
  std::vector<std::string> RunInstaller(const DialogAnswer& answer) {
    backend_.Script(answer);
    MAIN();
    if (chdir(Inst().c_str()) != 0) ADD_FAILURE();
    return TakeLines();
  }
  std::vector<std::string> RunInstaller() { return RunInstaller(test::Answer({"D:\\"}, "OK")); }

  bool Exists(const std::string& name) const { return std::filesystem::exists(Inst(name)); }
  // The files of the installation folder and their bytes (sub-folders left out, and the
  // installer's own log, which every run adds to).
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(Inst())) {
      if (e.is_regular_file() && e.path().filename() != "update.log")
        files[e.path().filename().string()] = ReadFileBytes(e.path().string());
    }
    return files;
  }
  // The names of the files that are new, gone or changed since `before`.
  std::vector<std::string> ChangedFiles(const std::map<std::string, std::string>& before) const {
    std::vector<std::string> names;
    const auto now = Files();
    for (const auto& [name, bytes] : now) {
      const auto it = before.find(name);
      if (it == before.end() || it->second != bytes) names.push_back(name);
    }
    for (const auto& [name, bytes] : before) {
      if (now.count(name) == 0) names.push_back(name);
    }
    return names;
  }
  void ExpectMainApplicationStartedLast() {
    ASSERT_FALSE(runner_.command_lines.empty());
    EXPECT_EQ(runner_.command_lines.back(), "PX");
  }

  TableData catalogue_;
};

TEST_F(UpdateE2eTest, CompleteUpdateOfAGeneratedInstallation) {
  Generate(1);
  MakeSampleUpdate();
  const TableData customer = test::ReadTable(Inst("customer"));
  const TableData cqass = test::ReadTable(Inst("cqass"));
  const TableData sysinfo = test::ReadTable(Inst("sysinfo"));
  const std::vector<std::string> lines = RunInstaller();
  for (const Error& e : RecordedErrors()) ADD_FAILURE() << e.description << " " << e.filename;

  // customer: the shipped structure and every record it showed, values fitted.
  const TableData now = test::ReadTable(Inst("customer"));
  const std::vector<FieldSpec> want = NewCustomerFields();
  ASSERT_EQ(now.fields.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(now.fields[i].name, want[i].name);
    EXPECT_EQ(now.fields[i].len, want[i].len);
  }
  const std::vector<Row> old_rows = customer.Live();
  ASSERT_EQ(now.rows.size(), old_rows.size());
  size_t notes = 0;
  for (size_t r = 0; r < old_rows.size(); ++r) {
    for (const FieldSpec& f : want) {
      const Value& v = now.rows[r].at(f.name);
      if (customer.Has(f.name)) {
        EXPECT_TRUE(SameValue(v, old_rows[r].at(f.name))) << "record " << r + 1 << " " << f.name;
      } else {
        EXPECT_TRUE(f.type == 'N' ? v.number() == 0 : Text(v).empty()) << f.name;
      }
    }
    if (!Text(old_rows[r].at("NOTES")).empty()) ++notes;
    // The repairs delete the blank codes the first order puts at the top.
    EXPECT_EQ(Text(now.rows[r].at("CODE")).empty(), now.deleted[r]) << "record " << r + 1;
  }
  EXPECT_GT(notes, 0u);
  EXPECT_FALSE(now.Has("FAX"));

  // Replaced and new tables; the catalogue is the shipped one with the site's folder.
  EXPECT_EQ(test::ReadTable(Inst("glastype")).rows.size(), 2u);
  EXPECT_EQ(test::ReadTable(Inst("promo")).rows.size(), 2u);
  const TableData catalogue = test::ReadTable(Inst("indexdef"));
  ASSERT_EQ(catalogue.rows.size(), catalogue_.rows.size() + 1);
  for (const Row& r : catalogue.rows) {
    EXPECT_EQ(Text(r.at("PATH")), Text(r.at("DB_ALIAS")) == "SUPPLIER" ? "DATA\\" : "")
        << Text(r.at("DB_ALIAS"));
  }

  // Every index the catalogue names is rebuilt and agrees with its table.
  const pxdb::CatalogueReport check = pxdb::CheckCatalogue(Inst(), false);
  for (const std::string& fault : check.faults) ADD_FAILURE() << fault;
  EXPECT_GT(check.indexes, 30);
  EXPECT_TRUE(Exists("promocod.ntx"));
  EXPECT_TRUE(Exists("DATA/supname.ntx"));

  // cqass: rows without a quote code are gone, the others numbered on from the counter
  // in record order.
  std::vector<Row> kept;
  for (const Row& r : cqass.Live()) {
    if (!Text(r.at("QCODE")).empty()) kept.push_back(r);
  }
  const TableData cqass_now = test::ReadTable(Inst("cqass"));
  ASSERT_EQ(cqass_now.rows.size(), kept.size());
  int64_t serial = sysinfo.rows[0].at("QUOSERIAL").integer();
  int numbered = 0;
  for (size_t r = 0; r < kept.size(); ++r) {
    EXPECT_EQ(Text(cqass_now.rows[r].at("QCODE")), Text(kept[r].at("QCODE")));
    if (kept[r].at("SERIALNO").number() == 0) {
      EXPECT_EQ(cqass_now.rows[r].at("SERIALNO").integer(), ++serial) << "record " << r + 1;
      ++numbered;
    }
  }
  EXPECT_GE(numbered, 3);
  const TableData sysinfo_now = test::ReadTable(Inst("sysinfo"));
  EXPECT_EQ(sysinfo_now.rows[0].at("QUOSERIAL").integer(), serial);
  EXPECT_EQ(sysinfo_now.rows[0].at("BACKUP").integer(), 2);

  // The other repairs.
  for (const Row& r : test::ReadTable(Inst("cqalt")).Live()) {
    bool blank = true;
    for (const char* f : {"ALUMTYPE", "GLASTYPE", "REVEALTYPE", "FS", "SS"}) {
      blank = blank && Text(r.at(f)).empty();
    }
    EXPECT_FALSE(blank);
  }
  for (const Row& r : test::ReadTable(Inst("alumtype")).Live()) {
    if (!r.at("SPECIAL").logical()) continue;
    for (const char* f : {"WARDROBE", "SHOWER", "COMMERCIAL", "WINDOW", "DOOR", "KITS", "SECURITY"})
      EXPECT_TRUE(r.at(f).logical()) << Text(r.at("CODE")) << " " << f;
  }
  const Row settings = test::ReadTable(Inst("quotdata")).rows.at(0);
  EXPECT_EQ(settings.at("LSLENGTH").integer(), 40);
  EXPECT_EQ(settings.at("LSTOP").integer(), 1);
  EXPECT_EQ(settings.at("LSWIDTH").integer(), 135);
  EXPECT_EQ(settings.at("LSMARGIN").integer(), 1);

  // Files: logos kept, the installer's zip library not installed, temp emptied, the
  // backup written.
  EXPECT_EQ(ReadFileBytes(Inst("LOGO.BMP")), "site logo");
  EXPECT_EQ(ReadFileBytes(Inst("logop.bmp")), "site print logo");
  EXPECT_EQ(ReadFileBytes(Inst("frame.bmp")), "new picture");
  EXPECT_EQ(ReadFileBytes(Inst("pxhelp.exe")), "program");
  EXPECT_EQ(ReadFileBytes(Inst("pxprint.dll")), "library");
  EXPECT_FALSE(Exists("KVRZIPDLL.DLL"));
  EXPECT_TRUE(std::filesystem::is_empty(Inst("temp")));
  EXPECT_FALSE(Exists("zztemp.dbf"));
  EXPECT_EQ(ReadFileBytes(Inst("BACKUP.BAT")), "PKZIP backup\\PXB1 *.db*\r\n\x1a");
  if (!test::PkzipBinary().empty()) {
    EXPECT_EQ(runner_.batch_exit_code, 0);
    EXPECT_TRUE(Exists("backup/PXB1.zip"));
  }
  EXPECT_EQ(FindLine(lines, "[Alert]"), -1) << lines[std::max(0, FindLine(lines, "[Alert]"))];
  EXPECT_NE(FindLine(lines, "Databases Updated"), -1);
  ExpectMainApplicationStartedLast();

  // A second run finds nothing more to change in the data.
  MakeUpdate({});
  const TableData cqass_done = test::ReadTable(Inst("cqass"));
  RunInstaller();
  EXPECT_EQ(test::ReadTable(Inst("cqass")).rows, cqass_done.rows);
  EXPECT_EQ(test::ReadTable(Inst("sysinfo")).rows[0].at("BACKUP").integer(), 3);
  EXPECT_TRUE(pxdb::CheckCatalogue(Inst(), false).ok());
}

TEST_F(UpdateE2eTest, CancelAbandonsTheUpdateAndStillStartsTheApplication) {
  Generate(0);
  MakeSampleUpdate();
  const auto before = Files();
  const std::vector<std::string> lines = RunInstaller(test::Press("Cancel"));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "[Alert] Installation Abandoned!");
  EXPECT_EQ(FindLine(lines, "Making Compulsory Backup"), -1);
  EXPECT_EQ(Files(), before);
  EXPECT_EQ(runner_.command_lines, (std::vector<std::string>{"PX"}));

  // Without a main application to start, the installer ends all the same.
  std::filesystem::remove(Inst("PX"));
  runner_.command_lines.clear();
  EXPECT_EQ(RunInstaller(test::Press("Cancel")).back(), "[Alert] Installation Abandoned!");
  EXPECT_TRUE(runner_.command_lines.empty());
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(UpdateE2eTest, MissingSourceFolderChangesNoTable) {
  Generate(0);
  MakeSampleUpdate();
  const TableData customer = test::ReadTable(Inst("customer"));
  const std::vector<std::string> lines = RunInstaller(test::Answer({"D:\\NOWHERE"}, "OK"));
  EXPECT_TRUE(HasLine(lines, "[Alert] Unable to Access Directory: D:\\NOWHERE"));
  EXPECT_TRUE(SameFields(test::ReadTable(Inst("customer")).fields, customer.fields));
  EXPECT_FALSE(Exists("oldexdef.dbf"));
  // The application is started from the installation folder, where the update began.
  ExpectMainApplicationStartedLast();
}

TEST_F(UpdateE2eTest, FolderWithoutInstallationIsLeftAlone) {
  Generate(0);
  MakeSampleUpdate();
  const std::string elsewhere = Inst("elsewhere");
  std::filesystem::create_directories(elsewhere);
  test::WriteFileBytes(elsewhere + "/notes.txt", "not an installation");
  ASSERT_EQ(chdir(elsewhere.c_str()), 0);
  backend_.Script(test::Answer({"D:\\"}, "OK"));
  MAIN();
  const std::vector<std::string> lines = TakeLines();
  ASSERT_EQ(chdir(Inst().c_str()), 0);
  EXPECT_EQ(lines.back(), "[Alert] There is no ParVex installation in " + HostToDos(elsewhere) +
                              ": it holds no table catalogue INDEXDEF.DBF. Start the update in "
                              "the ParVex folder. Nothing has been updated.");
  EXPECT_EQ(FindLine(lines, "Making Compulsory Backup"), -1);
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(elsewhere))
    left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"notes.txt"});
}

// The backup is checked before anything changes: a zip program that failed, an archive
// that does not read back or one that lacks a table stops the update.
TEST_F(UpdateE2eTest, BackupThatIsNotWholeStopsTheUpdate) {
  Generate(0);
  MakeSampleUpdate();
  const auto before = Files();
  struct Case {
    std::optional<int> zip_exit;  // unset: the real zip program runs
    std::string archive;          // "": none prepared; "garbage", "damaged", "customer only"
    std::string reason;
  } cases[] = {
      {3, "", "the zip program ended with code 3"},
      {0, "", "backup\\PXB1.zip was not written"},
      {0, "garbage", "backup\\PXB1.zip does not read back whole"},
      {0, "damaged", "backup\\PXB1.zip does not read back whole"},
      {0, "customer only", "backup\\PXB1.zip lacks "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive + " " + c.reason);
    SetField("sysinfo", "BACKUP", Value::Integer(0));
    std::filesystem::remove_all(Inst("backup"));
    std::filesystem::create_directories(Inst("backup"));
    std::vector<ZipInput> inputs;
    for (const auto& [name, bytes] : before) {
      if (name.find(".db") != std::string::npos &&
          (c.archive != "customer only" || name.starts_with("customer"))) {
        inputs.push_back({Inst(name), name});
      }
    }
    std::string error;
    if (!c.archive.empty()) {
      ASSERT_TRUE(
          WriteZip(Inst("backup/PXB1.zip"), inputs, {.new_archive = true, .password = ""}, &error));
    }
    if (c.archive == "garbage") test::WriteFileBytes(Inst("backup/PXB1.zip"), "PK garbage");
    if (c.archive == "damaged") {
      std::string zip = ReadFileBytes(Inst("backup/PXB1.zip"));
      zip[zip.size() / 3] ^= 0x55;
      test::WriteFileBytes(Inst("backup/PXB1.zip"), zip);
    }
    runner_.batch_answer = c.zip_exit;
    runner_.command_lines.clear();
    const std::vector<std::string> lines = RunInstaller();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(
        lines.back().starts_with("[Alert] The Compulsory Backup of Data failed: " + c.reason))
        << lines.back();
    EXPECT_TRUE(lines.back().ends_with(". Nothing has been updated.")) << lines.back();
    EXPECT_EQ(FindLine(lines, "[Alert]"), static_cast<int>(lines.size()) - 1);
    // Only the backup's own traces are new: its folder, batch file and counter.
    EXPECT_EQ(ChangedFiles(before), (std::vector<std::string>{"BACKUP.BAT", "sysinfo.dbf"}));
    EXPECT_FALSE(Exists("temp"));
    ExpectMainApplicationStartedLast();
  }
}

TEST_F(UpdateE2eTest, FilesInUseElsewhereStopTheUpdateBeforeAnyChange) {
  Generate(0);
  MakeSampleUpdate();
  // The catalogue, a table the update rebuilds, the quote lines the repairs pack and a
  // table the catalogue asks to pack.
  for (const std::string held : {"indexdef.dbf", "customer.dbf", "cqass.dbf", "tmpquote.dbf"}) {
    SCOPED_TRACE(held);
    const auto before = Files();
    runner_.command_lines.clear();
    std::optional<OpenElsewhere> other(std::in_place, Inst(held));
    ASSERT_TRUE(other->holding());
    const std::vector<std::string> lines = RunInstaller();
    other.reset();  // let go

    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "[Alert] " + UpperText(held) +
                                " is in use on another workstation. Close ParVex everywhere "
                                "and run the update again. Nothing has been updated.");
    EXPECT_EQ(FindLine(lines, "[Alert]"), static_cast<int>(lines.size()) - 1);
    // The backup, its batch file and its counter are the only traces.
    EXPECT_EQ(ChangedFiles(before), (std::vector<std::string>{"BACKUP.BAT", "sysinfo.dbf"}));
    EXPECT_FALSE(Exists("temp"));
    ExpectMainApplicationStartedLast();
  }
  // Once everyone has let go, the update goes through.
  RunInstaller();
  EXPECT_EQ(test::ReadTable(Inst("customer")).fields.size(), NewCustomerFields().size());
  EXPECT_TRUE(pxdb::CheckCatalogue(Inst(), false).ok());
}

// An update that stopped after saving the catalogue leaves its marker. The saved copy
// is kept only when that update had begun to replace the catalogue; otherwise the
// catalogue still holds the site's paths, including any changed since, and is saved
// afresh.
TEST_F(UpdateE2eTest, UnfinishedUpdateMarkerKeepsTheSavedCatalogueOnlyWhenItWasReplaced) {
  for (const bool replaced : {false, true}) {
    SCOPED_TRACE(replaced ? "replaced" : "not replaced");
    ASSERT_EQ(chdir((Inst() + "/..").c_str()), 0);  // a current folder cannot be removed
    std::filesystem::remove_all(Inst());
    std::filesystem::create_directories(Inst());
    ASSERT_EQ(chdir(Inst().c_str()), 0);
    Generate(0);
    MakeSampleUpdate();
    // The unfinished update saved the catalogue while the suppliers lay in DATA.
    std::filesystem::copy_file(Inst("indexdef.dbf"), Inst("oldexdef.dbf"));
    NoteCatalogueSaved(InstDos() + "\\");
    if (replaced) {
      // ... and put the shipped catalogue in place: no site folder in it.
      NoteCatalogueReplacing(InstDos() + "\\", true);
      SetPath("SUPPLIER", "");
    } else {
      // ... and stopped; since then the site moved its suppliers to SITE2.
      std::filesystem::create_directories(Inst("SITE2"));
      for (const char* f : {"supplier.dbf", "supplier.ntx", "supname.ntx"})
        std::filesystem::rename(Inst(std::string("DATA/") + f), Inst(std::string("SITE2/") + f));
      SetPath("SUPPLIER", "SITE2\\");
    }
    RunInstaller();
    for (const Row& r : test::ReadTable(Inst("indexdef")).rows) {
      if (Text(r.at("DB_ALIAS")) == "SUPPLIER") {
        EXPECT_EQ(Text(r.at("PATH")), replaced ? "DATA\\" : "SITE2\\");
      }
    }
    EXPECT_FALSE(Exists(kResetMarker));
    EXPECT_TRUE(pxdb::CheckCatalogue(Inst(), false).ok());
  }
}

TEST_F(UpdateE2eTest, WrongArchivePasswordChangesNoTable) {
  Generate(0);
  MakeSampleUpdate("not-the-password");
  const TableData customer = test::ReadTable(Inst("customer"));
  const std::vector<std::string> lines = RunInstaller();
  EXPECT_NE(FindLine(lines, "[Alert] --- Error: "), -1);
  EXPECT_NE(FindLine(lines, "No tables were updated."), -1);
  EXPECT_TRUE(SameFields(test::ReadTable(Inst("customer")).fields, customer.fields));
  EXPECT_EQ(test::ReadTable(Inst("customer")).rows, customer.rows);
  EXPECT_FALSE(Exists("promo.dbf"));
  EXPECT_TRUE(pxdb::CheckCatalogue(Inst(), false).ok());
  ExpectMainApplicationStartedLast();
}

TEST_F(UpdateE2eTest, FolderPathsOfAnyLength) {
  // The installation and the update folder lie deeper than 63 characters, with blanks
  // in their names.
  const std::string deep = Inst("Parvex Installation For The Aluminium Windows And Doors Branch/" +
                                std::string(40, 'D') + "/data");
  const std::string source =
      "RELEASES\\DECEMBER 2026\\PARVEX UPDATE FOR WINDOWS DOORS SCREENS "
      "AND GLASS\\DISK ONE";
  std::string host_source = source;
  for (char& c : host_source) {
    if (c == '\\') c = '/';
  }
  ApplyInstallerSettings();
  std::filesystem::create_directories(deep);
  pxdb::SampleResult result;
  std::string error;
  ASSERT_TRUE(pxdb::MakeSampleInstallation(deep, 0, &result, &error)) << error;
  catalogue_ = test::ReadTable(deep + "/indexdef");
  MakeSampleUpdate();
  std::filesystem::create_directories(Upd(host_source));
  std::filesystem::rename(Upd("PXUPD.zip"), Upd(host_source + "/PXUPD.zip"));
  ASSERT_GT(deep.size(), 130u);

  ASSERT_EQ(chdir(deep.c_str()), 0);
  backend_.Script(test::Answer({"D:\\" + source}, "OK"));
  MAIN();
  const std::vector<std::string> lines = TakeLines();
  EXPECT_EQ(FindLine(lines, "[Alert]"), -1) << lines[std::max(0, FindLine(lines, "[Alert]"))];
  EXPECT_NE(FindLine(lines, "Copying PXUPD.zip to " + HostToDos(deep) + "\\temp"), -1);
  EXPECT_EQ(test::ReadTable(deep + "/customer").fields.size(), NewCustomerFields().size());
  EXPECT_TRUE(std::filesystem::exists(deep + "/promo.dbf"));
  EXPECT_TRUE(std::filesystem::exists(deep + "/oldexdef.dbf"));
  EXPECT_TRUE(pxdb::CheckCatalogue(deep, false).ok());
  EXPECT_TRUE(std::filesystem::is_empty(deep + "/temp"));
}

}  // namespace
}  // namespace px
