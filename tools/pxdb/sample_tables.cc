// The structures, indexes and catalogue flags of the sample installation's tables.
#include "tools/pxdb/sample_installation.h"

namespace px::pxdb {
namespace {

FieldDef C(const char* name, uint32_t len) {
  return {name, 'C', len, 0};
}
FieldDef N(const char* name, uint32_t len, uint32_t dec = 0) {
  return {name, 'N', len, dec};
}
FieldDef D(const char* name) {
  return {name, 'D', 8, 0};
}
FieldDef L(const char* name) {
  return {name, 'L', 1, 0};
}
FieldDef M(const char* name) {
  return {name, 'M', 10, 0};
}

std::vector<SampleTable> MakeTables() {
  std::vector<SampleTable> t;
  t.push_back(
      {"customer",
       "customer",
       {C("CODE", 8), C("NAME", 40), C("CONTACT", 30), C("ADDRESS", 40), C("SUBURB", 25),
        C("STATE", 3), C("PCODE", 4), C("PHONE", 14), C("FAX", 14), C("CATEGORY", 4),
        C("SALESID", 3), N("DISCOUNT", 5, 2), N("CREDIT", 10, 2), D("OPENED"), L("ACTIVE"),
        M("NOTES")},
       {{"custcode", "CODE"}, {"custname", "UPPER(NAME)"}, {"custpcod", "PCODE + UPPER(NAME)"}}});
  t.push_back(
      {"cquotes",
       "cquotes",
       {C("CODE", 8), N("QNO", 8), C("CUSTCODE", 8), D("DATE"), C("SALESID", 3), C("DESC", 40),
        C("STATUS", 1), N("TOTAL", 12, 2), L("ACCEPTED"), D("FOLLOWUP"), M("NOTES")},
       {{"cqcode", "CODE"}, {"cqcust", "CUSTCODE + DTOS(DATE)"}, {"cqqno", "QNO"}}});
  t.push_back({"cqalt",
               "cqalt",
               {N("QNO", 8), N("ALT", 2), C("ALUMTYPE", 6), C("GLASTYPE", 6), C("REVEALTYPE", 6),
                C("FS", 6), C("SS", 6), C("DESC", 30), N("PRICE", 12, 2)},
               {{"cqalt", "STR(QNO, 8) + STR(ALT, 2)"}}});
  t.push_back({"cqass",
               "cqass",
               {C("QCODE", 8), N("QNO", 8), N("LINE", 4), N("SERIALNO", 8), C("SHORTCUT", 10),
                C("LOCATION", 12), C("ALUMTYPE", 6), C("GLASTYPE", 6), N("WIDTH", 5),
                N("HEIGHT", 5), N("QTY", 3), N("PRICE", 10, 2), M("NOTES")},
               {{"cqassqno", "STR(QNO, 8) + STR(LINE, 4)"},
                {"cqasscod", "QCODE"},
                {"cqasser", "SERIALNO"}}});
  t.push_back({"stdass",
               "stdass",
               {C("SHORTCUT", 10), C("DESC", 40), C("CATEGORY", 4), C("ALUMTYPE", 6),
                C("GLASTYPE", 6), N("WIDTH", 5), N("HEIGHT", 5), N("PANELS", 2), N("LABOUR", 7, 2),
                N("PRICE", 9, 2), M("INSTRUCT")},
               {{"stdass", "UPPER(SHORTCUT)"}, {"stdcat", "CATEGORY + UPPER(SHORTCUT)"}}});
  t.push_back({"glastype",
               "glastype",
               {C("CODE", 6), C("DESC", 40), C("CATEGORY", 4), N("THICK", 6, 2), N("WEIGHT", 6, 2),
                N("PRICE", 8, 2), L("SAFETY")},
               {{"glastype", "CODE"}, {"glascode", "CATEGORY + CODE"}},
               /*pack=*/true,
               /*zap_on_init=*/false,
               /*lib=*/true});
  t.push_back({"glascat",
               "glascat",
               {C("CODE", 4), C("DESC", 30)},
               {{"glascat", "CODE"}},
               false,
               false,
               /*lib=*/true});
  t.push_back({"alumtype",
               "alumtype",
               {C("CODE", 6), C("DESC", 40), C("CATEGORY", 4), C("COLOUR", 10), N("PRICE", 8, 2),
                L("SPECIAL"), L("WARDROBE"), L("SHOWER"), L("COMMERCIAL"), L("WINDOW"), L("DOOR"),
                L("KITS"), L("SECURITY")},
               {{"alumtype", "CODE"}, {"alumtcat", "CATEGORY + CODE"}},
               false,
               false,
               /*lib=*/true});
  t.push_back({"alumcat",
               "alumcat",
               {C("CODE", 4), C("DESC", 30)},
               {{"alumcat", "CODE"}},
               false,
               false,
               /*lib=*/true});
  t.push_back({"colours",
               "colours",
               {C("CODE", 10), C("DESC", 30), N("SURCHARGE", 6, 2)},
               {{"colours", "UPPER(CODE)"}},
               /*pack=*/true,
               false,
               /*lib=*/true});
  t.push_back({"staff",
               "staff",
               {C("CODE", 4), C("NAME", 30), C("POSITION", 20), C("PHONE", 14), D("STARTED"),
                N("RATE", 7, 2)},
               {{"staffcod", "CODE"}, {"staffnam", "UPPER(NAME)"}}});
  t.push_back({"users",
               "users",
               {C("USERNAME", 10), C("PASSWORD", 10), C("STAFF", 4), N("LEVEL", 1), D("LASTLOGIN")},
               {{"users", "UPPER(USERNAME)"}},
               false,
               false,
               false,
               /*multi=*/true});
  t.push_back({"salesid",
               "salesid",
               {C("CODE", 3), C("NAME", 30), C("PHONE", 14), N("COMMISSION", 5, 2)},
               {{"salesid", "CODE"}}});
  t.push_back({"custcat",
               "custcat",
               {C("CODE", 4), C("DESC", 30), N("DISCOUNT", 5, 2)},
               {{"custcat", "CODE"}}});
  t.push_back({"custlog",
               "custlog",
               {C("CODE", 8), D("DATE"), C("STAFF", 4), C("SUBJECT", 40), L("DONE"), M("NOTES")},
               {{"custlog", "CODE + DTOS(DATE)"}, {"custlogd", "DTOS(DATE)"}}});
  t.push_back({"supplier",
               "supplier",
               {C("CODE", 6), C("NAME", 40), C("PHONE", 14), C("ACCOUNT", 12), N("TERMS", 3)},
               {{"supplier", "CODE"}, {"supname", "UPPER(NAME)"}}});
  t.push_back({"suburbs",
               "suburbs",
               {C("SUBURB", 25), C("STATE", 3), C("PCODE", 4), N("ZONE", 2)},
               {{"suburbs", "UPPER(SUBURB)"}, {"suburbpc", "PCODE + UPPER(SUBURB)", true}},
               false,
               false,
               /*lib=*/true});
  t.push_back({"tmpquote",
               "tmpquote",
               {N("QNO", 8), N("LINE", 4), C("DESC", 40), N("AMOUNT", 10, 2)},
               {{"tmpquote", "STR(QNO, 8) + STR(LINE, 4)"}},
               /*pack=*/true,
               /*zap_on_init=*/true});
  t.push_back({"sysinfo",
               "sysinfo",
               {C("COMPANY", 40), C("ADDRESS", 40), C("PHONE", 14), C("ABN", 14), N("QUOSERIAL", 8),
                N("BACKUP", 4), C("VERSION", 10), N("GSTRATE", 5, 2), D("LASTUPDATE")},
               {}});
  t.push_back({"quotdata",
               "quotdata",
               {N("LSLENGTH", 4), N("LSTOP", 3), N("LSWIDTH", 4), N("LSMARGIN", 3),
                N("QUOTEVALID", 3), N("DEPOSIT", 5, 2), C("FOOTER", 60), M("TERMS")},
               {}});
  return t;
}

}  // namespace

const std::vector<SampleTable>& SampleTables() {
  static const std::vector<SampleTable> tables = MakeTables();
  return tables;
}

std::vector<FieldDef> CatalogueFields() {
  return {C("DB_ALIAS", 10), C("DB_NAME", 8), C("IN_NAME", 8), C("IN_STR", 100),
          C("PATH", 60),     L("PACK"),       L("ZAPONINIT"),  L("LIB"),
          L("NOINDEX"),      L("MULTI"),      L("UNIQUE"),     L("FLOPPY")};
}

}  // namespace px::pxdb
