#include "tools/pxdb/sample_installation.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "app/data/catalogue_fields.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "runtime/date.h"
#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "tools/pxdb/field_spec.h"
#include "tools/pxdb/sample_lists.h"
#include "tools/pxdb/sample_random.h"
#include "tools/pxdb/table_access.h"

namespace px::pxdb {
namespace {

using namespace sample;  // the fixed lists and their entry types

constexpr uint64_t kSeed = 0x50415256455831ULL;
// Streams of per-item seeds.
constexpr uint64_t kLineStream = 1;
constexpr uint64_t kAltStream = 2;

std::string Zero(uint64_t n, int width) {
  std::string s = std::to_string(n);
  if (static_cast<int>(s.size()) < width) s.insert(0, width - s.size(), '0');
  return s;
}

// The first n letters of a name in upper case.
std::string Letters(std::string_view name, size_t n) {
  std::string s;
  for (char c : name) {
    if (s.size() == n) break;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) s += c;
  }
  return UpperText(s);
}

std::string Phone(SampleRandom& r) {
  return "(0" + std::to_string(r.Between(2, 8)) + ") " + Zero(r.Between(4000, 9899), 4) + " " +
         Zero(r.Below(10000), 4);
}

// A note of one to three phrases, sometimes on separate lines.
std::string Note(SampleRandom& r) {
  std::string s = r.Pick(kNotePhrases);
  for (int n = r.Between(0, 2); n > 0; --n) {
    s += r.Chance(400) ? "\r\n" : " ";
    s += r.Pick(kNotePhrases);
  }
  return s;
}

// Writes the records of one table, open exclusively in the current area. Once the
// engine has raised an error (a full disk) it writes nothing more, so that a failing
// table costs one error and not one per field.
class TableWriter {
 public:
  TableWriter(const SampleTable& table, const EngineSession& session)
      : table_(table), session_(session) {}

  void Append() {
    if (session_.failed()) return;
    DBAPPEND();
    ++records_;
  }
  void Delete() {
    if (session_.failed()) return;
    DBDELETE();
    ++deleted_;
  }
  void Text(std::string_view field, std::string text) {
    Put(field, Value::String(std::move(text)));
  }
  void Number(std::string_view field, int64_t n) { Put(field, Value::Integer(n)); }
  void Money(std::string_view field, int64_t cents) {
    Put(field, Value::Double(static_cast<double>(cents) / 100.0, -1, 2));
  }
  void Date(std::string_view field, int32_t julian_day) { Put(field, Value::Date(julian_day)); }
  void Flag(std::string_view field, bool on) { Put(field, Value::Logical(on)); }

  uint32_t records() const { return records_; }
  uint32_t deleted() const { return deleted_; }
  // A field named by the generator that the table does not have (a generator fault).
  const std::string& unknown_field() const { return unknown_field_; }

 private:
  void Put(std::string_view field, const Value& value) {
    if (session_.failed()) return;
    for (size_t i = 0; i < table_.fields.size(); ++i) {
      if (table_.fields[i].name == field) {
        FIELDPUT(static_cast<int>(i + 1), value);
        return;
      }
    }
    if (unknown_field_.empty()) unknown_field_ = std::string(field);
  }

  const SampleTable& table_;
  const EngineSession& session_;
  uint32_t records_ = 0;
  uint32_t deleted_ = 0;
  std::string unknown_field_;
};

struct QuoteLine {
  const Assembly* assembly;
  const char* location;
  const AlumType* alum;
  const GlassType* glass;
  int width;
  int height;
  int qty;
  int64_t price_cents;
  bool note;
};

class SampleBuilder {
 public:
  SampleBuilder(std::string folder, int scale)
      : folder_(std::move(folder)),
        scale_(scale),
        glass_(GlassTypes()),
        alum_(AlumTypes()),
        assemblies_(Assemblies()),
        suburbs_(Suburbs()),
        quotes_(Scaled(400, 5)) {}

  bool Run(SampleResult* result, std::string* error) {
    EngineSession session;
    for (const SampleTable& table : SampleTables()) {
      SampleTableCount count;
      if (!WriteTable(table, session, &count, error) || !BuildIndexes(table, session, error)) {
        return false;
      }
      result->total_records += count.records;
      result->tables.push_back(std::move(count));
    }
    SampleTableCount catalogue;
    if (!WriteCatalogue(session, &catalogue, error)) return false;
    result->tables.insert(result->tables.begin(), std::move(catalogue));
    return true;
  }

 private:
  uint32_t Scaled(uint32_t per_scale, uint32_t at_zero) const {
    return scale_ == 0 ? at_zero : per_scale * static_cast<uint32_t>(scale_);
  }
  // How many rows of a fixed list the installation holds.
  size_t Fixed(size_t n) const { return scale_ == 0 ? std::min<size_t>(n, 5) : n; }
  // The entry of a fixed list of `size` entries that row i takes: every entry from
  // scale 1 on, entries spread over the whole list at scale 0.
  size_t At(size_t i, size_t size) const { return scale_ == 0 ? i * size / Fixed(size) : i; }
  // An entry of a fixed list that the installation holds.
  template <typename List>
  const auto& Any(SampleRandom& r, const List& list) const {
    const size_t n = std::size(list);
    return list[At(r.Below(static_cast<uint32_t>(Fixed(n))), n)];
  }
  std::string AnySalesCode(SampleRandom& r) const {
    return SalesCode(r.Below(static_cast<uint32_t>(Fixed(8))));
  }
  std::string Path(const std::string& file) const { return FileInFolder(folder_, file); }

  bool Failed(EngineSession& session, const std::string& what, std::string* error) {
    if (!session.failed()) return false;
    *error = what + ": " + session.FirstError();
    return true;
  }

  // Creates a table and opens it exclusively under its alias in the lowest free area.
  bool CreateAndOpen(const SampleTable& table, EngineSession& session, std::string* error) {
    const std::string path = Path(table.file + ".dbf");
    DBSELECTAREA(0);
    if (!DBCREATE(path, StructureOf(table.fields)) ||
        !DBUSEAREA(false, "", path, table.alias, false, false)) {
      if (!Failed(session, path, error)) *error = path + ": cannot be created";
      return false;
    }
    return true;
  }

  bool WriteTable(const SampleTable& table, EngineSession& session, SampleTableCount* count,
                  std::string* error) {
    session.Clear();
    const std::string path = Path(table.file + ".dbf");
    if (!CreateAndOpen(table, session, error)) return false;
    TableWriter w(table, session);
    Fill(table.alias, w);
    DBCLOSEAREA();
    if (Failed(session, path, error)) return false;
    if (!w.unknown_field().empty()) {
      *error = table.alias + ": the generator names a field " + w.unknown_field() +
               " the table does not have";
      return false;
    }
    *count = {table.alias, w.records(), w.deleted(), static_cast<int>(table.indexes.size())};
    return true;
  }

  bool BuildIndexes(const SampleTable& table, EngineSession& session, std::string* error) {
    if (table.indexes.empty()) return true;
    session.Clear();
    const std::string path = Path(table.file + ".dbf");
    DBSELECTAREA(0);
    if (!DBUSEAREA(false, "", path, table.alias, false, true)) {
      if (!Failed(session, path, error)) *error = path + ": cannot be opened";
      return false;
    }
    for (const SampleIndex& index : table.indexes) {
      DBCREATEINDEX(Path(index.name), index.key, nullptr, false);
      if (Failed(session, Path(index.name + ".ntx"), error)) break;
    }
    DBCLOSEAREA();
    return !Failed(session, table.alias, error);
  }

  bool WriteCatalogue(EngineSession& session, SampleTableCount* count, std::string* error) {
    session.Clear();
    const std::string file(kCatalogueFile);
    const SampleTable catalogue{
        "indexdef", file, CatalogueFields(), {{file, std::string(kCatalogueKeyText)}}};
    const std::string path = Path(catalogue.file + ".dbf");
    if (!CreateAndOpen(catalogue, session, error)) return false;
    TableWriter w(catalogue, session);
    for (const SampleTable& table : SampleTables()) {
      std::vector<SampleIndex> rows = table.indexes;
      if (rows.empty()) rows.push_back({"", ""});
      for (const SampleIndex& index : rows) {
        w.Append();
        w.Text("DB_ALIAS", UpperText(table.alias));
        w.Text("DB_NAME", table.file);
        w.Text("IN_NAME", index.name);
        w.Text("IN_STR", index.key);
        w.Flag("PACK", table.pack);
        w.Flag("ZAPONINIT", table.zap_on_init);
        w.Flag("LIB", table.lib);
        w.Flag("NOINDEX", index.no_index);
        w.Flag("MULTI", table.multi);
      }
    }
    DBCLOSEAREA();
    if (Failed(session, path, error)) return false;
    // The catalogue's own index, built with the catalogue under its alias as the key
    // expression needs.
    if (!BuildIndexes(catalogue, session, error)) return false;
    *count = {"indexdef", w.records(), 0, 1};
    return true;
  }

  void Fill(const std::string& alias, TableWriter& w) {
    using Filler = void (SampleBuilder::*)(TableWriter&);
    static const std::pair<const char*, Filler> fillers[] = {
        {"customer", &SampleBuilder::FillCustomer},  {"cquotes", &SampleBuilder::FillQuotes},
        {"cqalt", &SampleBuilder::FillAlternatives}, {"cqass", &SampleBuilder::FillLines},
        {"stdass", &SampleBuilder::FillAssemblies},  {"glastype", &SampleBuilder::FillGlassTypes},
        {"glascat", &SampleBuilder::FillGlassCats},  {"alumtype", &SampleBuilder::FillAlumTypes},
        {"alumcat", &SampleBuilder::FillAlumCats},   {"colours", &SampleBuilder::FillColours},
        {"staff", &SampleBuilder::FillStaff},        {"users", &SampleBuilder::FillUsers},
        {"salesid", &SampleBuilder::FillSalesIds},   {"custcat", &SampleBuilder::FillCustCats},
        {"custlog", &SampleBuilder::FillCallLog},    {"supplier", &SampleBuilder::FillSuppliers},
        {"suburbs", &SampleBuilder::FillSuburbs},    {"tmpquote", &SampleBuilder::FillTmpQuote},
        {"sysinfo", &SampleBuilder::FillSysInfo},    {"quotdata", &SampleBuilder::FillQuotData}};
    for (const auto& [name, filler] : fillers) {
      if (alias == name) (this->*filler)(w);
    }
  }

  // Where a run of fixed rows gets its row with a blank key: after the second row (or
  // the last, when there are fewer).
  static size_t BlankAt(size_t rows) { return std::min<size_t>(2, rows); }

  // Writes n rows of a fixed list, row(i) for i from 0, with the blank-key row that
  // blank() writes coming before row BlankAt(n) (after the last when n is that small).
  template <typename Blank, typename Row>
  static void RowsWithBlank(size_t n, Blank blank, Row row) {
    for (size_t i = 0; i <= n; ++i) {
      if (i == BlankAt(n)) blank();
      if (i == n) break;
      row(i);
    }
  }

  // A look-up table of codes and descriptions, with one blank-code row.
  void FillCodes(TableWriter& w, const Code* codes, size_t n_all) {
    const size_t n = Fixed(n_all);
    RowsWithBlank(
        n,
        [&] {
          w.Append();
          w.Text("DESC", "");
        },
        [&](size_t i) {
          w.Append();
          w.Text("CODE", codes[At(i, n_all)].code);
          w.Text("DESC", codes[At(i, n_all)].desc);
        });
  }

  void FillCustomer(TableWriter& w) {
    SampleRandom r(kSeed + 11);
    const uint32_t n = Scaled(200, 6);
    const uint32_t blanks[] = {2, n / 2, n - 1};
    for (uint32_t i = 0; i < n; ++i) {
      for (uint32_t b : blanks) {
        if (b == i) {  // a record left behind by an entry that was never finished
          w.Append();
          w.Text("NAME", r.Chance(500) ? "" : "CASH SALE");
          w.Date("OPENED", DateFromYmd(2012, 1, 1) + static_cast<int32_t>(r.Below(4000)));
        }
      }
      const char* surname = r.Pick(kSurnames);
      const char* first = r.Pick(kFirstNames);
      std::string name = r.Chance(600) ? std::string(surname) + " " + r.Pick(kTrades)
                                       : std::string(surname) + ", " + first;
      if (r.Chance(300)) name += " Pty Ltd";
      const std::string code = Letters(surname, 3) + Zero(i + 1, 5);
      customer_codes_.push_back(code);
      const Suburb& sub = Any(r, suburbs_);
      w.Append();
      w.Text("CODE", code);
      w.Text("NAME", name);
      w.Text("CONTACT", std::string(r.Pick(kFirstNames)) + " " + surname);
      w.Text("ADDRESS", std::to_string(r.Between(1, 480)) + " " + r.Pick(kStreets));
      w.Text("SUBURB", UpperText(sub.name));
      w.Text("STATE", sub.state);
      w.Text("PCODE", Zero(static_cast<uint64_t>(sub.postcode), 4));
      w.Text("PHONE", Phone(r));
      if (r.Chance(300)) w.Text("FAX", Phone(r));
      w.Text("CATEGORY", Any(r, kCustCats).code);
      w.Text("SALESID", AnySalesCode(r));
      w.Money("DISCOUNT", 250 * r.Between(0, 4));
      w.Money("CREDIT", 100000 * r.Between(0, 50));
      w.Date("OPENED", DateFromYmd(2005, 1, 1) + static_cast<int32_t>(r.Below(6500)));
      w.Flag("ACTIVE", !r.Chance(50));
      if (r.Chance(125)) w.Text("NOTES", Note(r));
      if (r.Chance(5)) w.Delete();
    }
  }

  std::string QuoteCode(uint32_t qno) const { return "Q" + Zero(qno, 7); }
  uint32_t QuoteNumber(uint32_t q) const { return 10001 + q; }
  const std::string& CustomerOf(SampleRandom& r) const {
    return customer_codes_[r.Below(static_cast<uint32_t>(customer_codes_.size()))];
  }

  // The lines of a quote, drawn from the quote's own seed: the quote table (for its
  // total) and the line table draw the same lines.
  std::vector<QuoteLine> LinesOf(uint32_t qno) const {
    SampleRandom r(ItemSeed(kLineStream, qno));
    std::vector<QuoteLine> lines(r.Between(1, 9));
    for (QuoteLine& l : lines) {
      l.assembly = &Any(r, assemblies_);
      l.location = r.Pick(kLocations);
      l.alum = &Any(r, alum_);
      l.glass = &Any(r, glass_);
      l.width = std::max(300, l.assembly->width + 10 * r.Between(-30, 30));
      l.height = std::max(300, l.assembly->height + 10 * r.Between(-20, 20));
      l.qty = r.Chance(800) ? 1 : r.Between(2, 6);
      const int64_t area_cm2 = static_cast<int64_t>(l.width / 10) * (l.height / 10);
      l.price_cents = 9500 + area_cm2 * l.glass->price_cents / 10000 +
                      2 * (l.width + l.height) * l.alum->price_cents / 1000;
      l.note = r.Chance(25);
    }
    return lines;
  }

  void FillQuotes(TableWriter& w) {
    SampleRandom r(kSeed + 12);
    const int32_t first_day = DateFromYmd(2016, 1, 4);
    const uint32_t blanks[] = {1, quotes_ / 2};
    for (uint32_t q = 0; q < quotes_; ++q) {
      const int32_t day = first_day + static_cast<int32_t>(q * 2900ULL / quotes_) +
                          static_cast<int32_t>(r.Below(4));
      for (uint32_t b : blanks) {
        if (b == q) {  // a quote whose code was cleared
          w.Append();
          w.Text("CUSTCODE", CustomerOf(r));
          w.Date("DATE", day);
          w.Text("STATUS", "O");
        }
      }
      const uint32_t qno = QuoteNumber(q);
      int64_t total = 0;
      for (const QuoteLine& l : LinesOf(qno)) total += l.price_cents * l.qty;
      const char status = "OOAALC"[r.Below(6)];
      w.Append();
      w.Text("CODE", QuoteCode(qno));
      w.Number("QNO", qno);
      w.Text("CUSTCODE", CustomerOf(r));
      w.Date("DATE", day);
      w.Text("SALESID", AnySalesCode(r));
      w.Text("DESC", r.Pick(kQuoteTexts));
      w.Text("STATUS", std::string(1, status));
      w.Money("TOTAL", total);
      w.Flag("ACCEPTED", status == 'A');
      if (status == 'O') w.Date("FOLLOWUP", day + 14);
      if (r.Chance(100)) w.Text("NOTES", Note(r));
      if (status == 'C' && r.Chance(100)) w.Delete();
    }
  }

  void FillAlternatives(TableWriter& w) {
    static const char* const reveals[] = {"", "", "R70", "R90", "R110", "R138"};
    static const char* const fly[] = {"", "FS01", "FS02", "FS03"};
    static const char* const security[] = {"", "", "SS01", "SS02"};
    for (uint32_t q = 0; q < quotes_; ++q) {
      const uint32_t qno = QuoteNumber(q);
      SampleRandom r(ItemSeed(kAltStream, qno));
      const int alternatives = r.Chance(500) ? 2 : 1;
      for (int a = 1; a <= alternatives; ++a) {
        const AlumType& alum = Any(r, alum_);
        w.Append();
        w.Number("QNO", qno);
        w.Number("ALT", a);
        w.Text("ALUMTYPE", alum.code);
        w.Text("GLASTYPE", Any(r, glass_).code);
        w.Text("REVEALTYPE", r.Pick(reveals));
        w.Text("FS", r.Pick(fly));
        w.Text("SS", r.Pick(security));
        w.Text("DESC", "Option " + std::to_string(a) + " - " + alum.colour->name);
        w.Money("PRICE", 50000 + 100 * static_cast<int64_t>(r.Below(900000)));
      }
      // Alternatives opened and left empty, and one with only a security screen.
      if (q == 2 || q == quotes_ / 3 + 2) {
        w.Append();
        w.Number("QNO", qno);
        w.Number("ALT", alternatives + 1);
      }
      if (q == 3) {
        w.Append();
        w.Number("QNO", qno);
        w.Number("ALT", alternatives + 1);
        w.Text("SS", "SS01");
      }
    }
  }

  void FillLines(TableWriter& w) {
    SampleRandom r(kSeed + 14);
    uint64_t k = 0;  // lines written so far
    uint32_t serial = 0;
    for (uint32_t q = 0; q < quotes_; ++q) {
      const uint32_t qno = QuoteNumber(q);
      const std::vector<QuoteLine> lines = LinesOf(qno);
      for (size_t i = 0; i < lines.size(); ++i, ++k) {
        const QuoteLine& l = lines[i];
        w.Append();
        // Lines that lost their quote code, and lines never given a serial number.
        if (k % 499 != 7) w.Text("QCODE", QuoteCode(qno));
        w.Number("QNO", qno);
        w.Number("LINE", static_cast<int64_t>(i + 1));
        if (k % 97 != 11 && k % 331 != 3) w.Number("SERIALNO", ++serial);
        w.Text("SHORTCUT", l.assembly->shortcut);
        w.Text("LOCATION", l.location);
        w.Text("ALUMTYPE", l.alum->code);
        if (*l.assembly->glass != '\0') w.Text("GLASTYPE", l.glass->code);
        w.Number("WIDTH", l.width);
        w.Number("HEIGHT", l.height);
        w.Number("QTY", l.qty);
        w.Money("PRICE", l.price_cents);
        if (l.note) w.Text("NOTES", Note(r));
      }
    }
    last_serial_ = serial;
  }

  void FillAssemblies(TableWriter& w) {
    SampleRandom r(kSeed + 15);
    const size_t n = Fixed(assemblies_.size());
    RowsWithBlank(
        n,
        [&] {
          w.Append();
          w.Text("DESC", "New assembly");
        },
        [&](size_t i) {
          const Assembly& a = assemblies_[At(i, assemblies_.size())];
          w.Append();
          w.Text("SHORTCUT", a.shortcut);
          w.Text("DESC", a.desc);
          w.Text("CATEGORY", a.category);
          for (size_t t_i = 0; t_i < Fixed(alum_.size()); ++t_i) {
            const AlumType& t = alum_[At(t_i, alum_.size())];
            if (t.series->category == std::string_view(a.category)) {
              w.Text("ALUMTYPE", t.code);
              break;
            }
          }
          w.Text("GLASTYPE", a.glass);
          w.Number("WIDTH", a.width);
          w.Number("HEIGHT", a.height);
          w.Number("PANELS", a.panels);
          w.Money("LABOUR", 4500 + a.panels * 1500 + (a.width + a.height) * 2);
          w.Money("PRICE", 12000 + static_cast<int64_t>(a.width) * a.height / 40);
          if (i % 3 == 0) {  // a cut list, long enough for several memo blocks at times
            std::string cut = "Cut list for " + a.desc + ":\r\n";
            for (int p = 0, parts = r.Between(2, 24); p < parts; ++p) {
              cut += std::to_string(r.Between(1, 4)) + " x " +
                     (p % 2 == 0 ? "head/sill " + std::to_string(a.width - 12 - p)
                                 : "jamb " + std::to_string(a.height - 12 - p)) +
                     "\r\n";
            }
            w.Text("INSTRUCT", cut);
          }
        });
  }

  void FillGlassTypes(TableWriter& w) {
    const size_t n = Fixed(glass_.size());
    RowsWithBlank(
        n,
        [&] {
          w.Append();
          w.Text("CATEGORY", "FLT");
        },
        [&](size_t i) {
          const GlassType& g = glass_[At(i, glass_.size())];
          w.Append();
          w.Text("CODE", g.code);
          w.Text("DESC", g.desc);
          w.Text("CATEGORY", g.category);
          w.Money("THICK", g.thick_hundredths);
          w.Money("WEIGHT", g.thick_hundredths * 5 / 2);
          w.Money("PRICE", g.price_cents);
          w.Flag("SAFETY", g.safety);
        });
  }

  void FillGlassCats(TableWriter& w) { FillCodes(w, kGlassCats, std::size(kGlassCats)); }
  void FillAlumCats(TableWriter& w) { FillCodes(w, kAlumCats, std::size(kAlumCats)); }

  void FillCustCats(TableWriter& w) {
    const size_t n = Fixed(std::size(kCustCats));
    RowsWithBlank(
        n, [&] { w.Append(); },
        [&](size_t i) {
          w.Append();
          const Code& c = kCustCats[At(i, std::size(kCustCats))];
          w.Text("CODE", c.code);
          w.Text("DESC", c.desc);
          w.Money("DISCOUNT", static_cast<int64_t>(i % 4) * 250);
        });
  }

  void FillAlumTypes(TableWriter& w) {
    const size_t n = Fixed(alum_.size());
    RowsWithBlank(
        n,
        [&] {
          w.Append();
          w.Text("DESC", "Special order");
        },
        [&](size_t i) {
          const AlumType& a = alum_[At(i, alum_.size())];
          const std::string_view cat = a.series->category;
          w.Append();
          w.Text("CODE", a.code);
          w.Text("DESC", a.desc);
          w.Text("CATEGORY", a.series->category);
          w.Text("COLOUR", a.colour->name);
          w.Money("PRICE", a.price_cents);
          // Special colours are made for their own range only until the update opens them
          // to every category.
          w.Flag("SPECIAL", a.colour->special);
          w.Flag("WINDOW", cat == "RES");
          w.Flag("DOOR", cat == "DOOR");
          w.Flag("COMMERCIAL", cat == "COMM");
          w.Flag("SHOWER", cat == "SHWR");
          w.Flag("WARDROBE", cat == "WARD");
          w.Flag("SECURITY", cat == "SECU" || cat == "SCRN");
          w.Flag("KITS", cat == "KITS" || (!a.colour->special && cat == "RES"));
        });
  }

  void FillColours(TableWriter& w) {
    const size_t n = Fixed(std::size(kPaintColours));
    for (size_t i = 0; i < n; ++i) {
      std::string desc = kPaintColours[i];
      for (size_t c = 1; c < desc.size(); ++c) desc[c] = static_cast<char>(desc[c] | 0x20);
      w.Append();
      w.Text("CODE", kPaintColours[i]);
      w.Text("DESC", desc + " powder coat");
      w.Money("SURCHARGE", static_cast<int64_t>(i % 3) * 750);
      if (i % 7 == 6) w.Delete();  // withdrawn colours, removed by the pack
    }
  }

  std::string StaffName(size_t i) const {
    return std::string(kFirstNames[(i * 5 + 1) % std::size(kFirstNames)]) + " " +
           kSurnames[(i * 7 + 3) % std::size(kSurnames)];
  }
  std::string StaffCode(size_t i) const {
    const std::string name = StaffName(i);
    return Letters(name, 1) + Letters(name.substr(name.find(' ') + 1), 1) + Zero(i + 1, 2);
  }
  std::string SalesCode(size_t i) const {
    const std::string name = StaffName(i + 20);
    return Letters(name, 1) + Letters(name.substr(name.find(' ') + 1), 2);
  }

  void FillStaff(TableWriter& w) {
    SampleRandom r(kSeed + 17);
    const size_t n = Fixed(12);
    RowsWithBlank(
        n,
        [&] {
          w.Append();
          w.Text("POSITION", "Casual");
        },
        [&](size_t i) {
          w.Append();
          w.Text("CODE", StaffCode(i));
          w.Text("NAME", StaffName(i));
          w.Text("POSITION", r.Pick(kPositions));
          w.Text("PHONE", Phone(r));
          w.Date("STARTED", DateFromYmd(2001, 7, 1) + static_cast<int32_t>(r.Below(7000)));
          w.Money("RATE", 2800 + 50 * r.Between(0, 60));
        });
  }

  void FillUsers(TableWriter& w) {
    SampleRandom r(kSeed + 18);
    const size_t n = Fixed(10);
    RowsWithBlank(
        n,
        [&] {
          w.Append();
          w.Number("LEVEL", 1);
        },
        [&](size_t i) {
          std::string password;
          for (int c = 0; c < 8; ++c) password += static_cast<char>('A' + r.Below(26));
          w.Append();
          w.Text("USERNAME", UpperText(StaffName(i).substr(0, StaffName(i).find(' '))));
          w.Text("PASSWORD", password);
          w.Text("STAFF", StaffCode(i));
          w.Number("LEVEL", i == 0 ? 9 : r.Between(1, 5));
          w.Date("LASTLOGIN", DateFromYmd(2024, 1, 2) + static_cast<int32_t>(r.Below(60)));
        });
  }

  void FillSalesIds(TableWriter& w) {
    SampleRandom r(kSeed + 19);
    const size_t n = Fixed(8);
    RowsWithBlank(
        n,
        [&] {
          w.Append();
          w.Text("NAME", "House account");
        },
        [&](size_t i) {
          w.Append();
          w.Text("CODE", SalesCode(i));
          w.Text("NAME", StaffName(i + 20));
          w.Text("PHONE", Phone(r));
          w.Money("COMMISSION", 250 * r.Between(2, 12));
        });
  }

  void FillCallLog(TableWriter& w) {
    SampleRandom r(kSeed + 20);
    const uint32_t n = Scaled(150, 4);
    for (uint32_t i = 0; i < n; ++i) {
      w.Append();
      w.Text("CODE", CustomerOf(r));
      w.Date("DATE", DateFromYmd(2016, 2, 1) + static_cast<int32_t>(r.Below(2900)));
      w.Text("STAFF", StaffCode(r.Below(static_cast<uint32_t>(Fixed(12)))));
      w.Text("SUBJECT", r.Pick(kSubjects));
      w.Flag("DONE", r.Chance(800));
      if (r.Chance(330)) w.Text("NOTES", Note(r));
    }
  }

  void FillSuppliers(TableWriter& w) {
    SampleRandom r(kSeed + 21);
    const size_t n = Fixed(20);
    for (size_t i = 0; i < n; ++i) {
      const char* surname = kSurnames[(i * 11 + 5) % std::size(kSurnames)];
      w.Append();
      w.Text("CODE", Letters(surname, 4) + Zero(i + 1, 2));
      w.Text("NAME", std::string(surname) + " " + kTradeSupplies[i % std::size(kTradeSupplies)]);
      w.Text("PHONE", Phone(r));
      w.Text("ACCOUNT", "AC" + Zero(r.Below(1000000), 6));
      w.Number("TERMS", r.Chance(500) ? 30 : 60);
    }
  }

  void FillSuburbs(TableWriter& w) {
    const size_t n = Fixed(suburbs_.size());
    for (size_t i = 0; i < n; ++i) {
      const Suburb& s = suburbs_[At(i, suburbs_.size())];
      w.Append();
      w.Text("SUBURB", UpperText(s.name));
      w.Text("STATE", s.state);
      w.Text("PCODE", Zero(static_cast<uint64_t>(s.postcode), 4));
      w.Number("ZONE", static_cast<int64_t>(i % 6 + 1));
    }
  }

  // The quote editor's scratch table: lines of quotes being edited, some deleted.
  void FillTmpQuote(TableWriter& w) {
    SampleRandom r(kSeed + 22);
    const uint32_t n = Scaled(20, 6);
    for (uint32_t i = 0; i < n; ++i) {
      w.Append();
      w.Number("QNO", QuoteNumber(r.Below(quotes_)));
      w.Number("LINE", i % 5 + 1);
      w.Text("DESC", r.Pick(kQuoteTexts));
      w.Money("AMOUNT", 100 * static_cast<int64_t>(r.Below(500000)));
      if (i % 5 == 4) w.Delete();
    }
  }

  void FillSysInfo(TableWriter& w) {
    w.Append();
    w.Text("COMPANY", "Sample Aluminium & Glass Pty Ltd");
    w.Text("ADDRESS", "12 Industrial Dr, Springfield");
    w.Text("PHONE", "(02) 9555 0100");
    w.Text("ABN", "12 345 678 901");
    w.Number("QUOSERIAL", last_serial_);
    w.Number("BACKUP", 3);
    w.Text("VERSION", "5.2");
    w.Money("GSTRATE", 1000);
    w.Date("LASTUPDATE", DateFromYmd(2024, 3, 15));
  }

  // Label settings left empty, as an installation from before they existed has them.
  void FillQuotData(TableWriter& w) {
    w.Append();
    w.Number("QUOTEVALID", 30);
    w.Money("DEPOSIT", 3000);
    w.Text("FOOTER", "All prices include GST. Quotes valid for 30 days.");
    w.Text("TERMS",
           "1. A deposit of 30% is required with the order.\r\n"
           "2. The balance is due on completion of the installation.\r\n"
           "3. Sizes are confirmed by a site measure before manufacture.\r\n"
           "4. Glass is supplied to the relevant safety standard for its location.\r\n"
           "5. Goods remain our property until paid for in full.\r\n");
  }

  const std::string folder_;
  const int scale_;
  const std::vector<GlassType> glass_;
  const std::vector<AlumType> alum_;
  const std::vector<Assembly> assemblies_;
  const std::vector<Suburb> suburbs_;
  const uint32_t quotes_;
  std::vector<std::string> customer_codes_;
  uint32_t last_serial_ = 0;
};

bool IsTableFile(const std::string& name) {
  std::string base, ext;
  SplitExtension(name, &base, &ext);
  ext = UpperText(ext);
  return ext == ".DBF" || ext == ".DBT" || ext == ".NTX";
}

}  // namespace

bool MakeSampleInstallation(const std::string& folder, int scale, SampleResult* result,
                            std::string* error) {
  *result = SampleResult();
  if (scale < 0 || scale > kMaxSampleScale) {
    *error = "the scale must lie between 0 and " + std::to_string(kMaxSampleScale);
    return false;
  }
  Env* env = GetEnv();
  const std::string dir = folder.empty() ? "." : folder;
  if (!env->DirExists(dir)) {
    if (env->FileExists(dir)) {
      *error = folder + " is a file, not a folder";
      return false;
    }
    if (const int code = env->MakeDir(dir); code != 0) {
      *error = "cannot create the folder " + folder + " (OS error " + std::to_string(code) + ")";
      return false;
    }
  }
  std::vector<DirEntry> entries;
  if (const int code = env->ListDir(dir, &entries); code != 0) {
    *error = "cannot list the folder " + folder + " (OS error " + std::to_string(code) + ")";
    return false;
  }
  for (const DirEntry& e : entries) {
    if (!e.is_dir && IsTableFile(e.name)) {
      *error =
          folder + " already holds table files (" + e.name + "); give an empty or a new folder";
      return false;
    }
  }
  SampleBuilder builder(folder, scale);
  return builder.Run(result, error);
}

}  // namespace px::pxdb
