// The fixed lists the sample installation draws from: names and words, the glass and
// aluminium ranges, the standard assemblies and the suburbs.
#ifndef PX_TOOLS_PXDB_SAMPLE_LISTS_H_
#define PX_TOOLS_PXDB_SAMPLE_LISTS_H_

#include <string>
#include <vector>

namespace px::pxdb::sample {

inline constexpr const char* const kSurnames[] = {
    "Smith",  "Jones",    "Williams", "Brown",    "Wilson",       "Taylor",  "Johnson", "White",
    "Martin", "Anderson", "Thompson", "Nguyen",   "Thomas",       "Walker",  "Harris",  "Lee",
    "Ryan",   "Robinson", "Kelly",    "King",     "Davis",        "Wright",  "Evans",   "Roberts",
    "Green",  "Hall",     "Wood",     "Jackson",  "Clarke",       "Patel",   "Khan",    "Lewis",
    "James",  "Phillips", "Mitchell", "Campbell", "Murphy",       "O'Brien", "Scott",   "Young",
    "Baker",  "Turner",   "Hughes",   "Edwards",  "Collins",      "Stewart", "Morris",  "Murray",
    "Cooper", "Ward",     "Russo",    "Costa",    "Papadopoulos", "Tran",    "Chen",    "Singh"};
inline constexpr const char* const kFirstNames[] = {
    "John",  "Peter",  "Mary",   "Susan", "David",   "Michael", "Karen",  "Robert",
    "Linda", "Mark",   "Paul",   "Jenny", "Andrew",  "Helen",   "Steven", "Anne",
    "Chris", "Lisa",   "Tony",   "Kate",  "Greg",    "Sandra",  "Wayne",  "Julie",
    "Ross",  "Brenda", "Daniel", "Emma",  "Stavros", "Mei",     "Raj",    "Fiona"};
inline constexpr const char* const kTrades[] = {
    "Constructions",   "Building Co", "Homes",       "Developments", "Renovations",
    "Glass & Glazing", "Joinery",     "Carpentry",   "Builders",     "Property Group",
    "Windows & Doors", "Shopfitters", "Maintenance", "Projects",     "Home Improvements"};
inline constexpr const char* const kStreets[] = {
    "High St",    "Main Rd",      "Station St",   "Church St",     "Park Ave",    "Victoria Rd",
    "King St",    "George St",    "Queen St",     "Bridge Rd",     "Railway Pde", "Beach Rd",
    "Ocean St",   "Hill St",      "Forest Rd",    "Pacific Hwy",   "Albert St",   "Elizabeth St",
    "Wattle Ave", "Banksia Cres", "Gum Tree Way", "Industrial Dr", "Factory Ln",  "Mill Rd"};
inline constexpr const char* const kSuburbRoots[] = {
    "Spring", "Oak",  "Ash",   "Elm",   "Bay",   "Rose",   "Green", "Fair",  "Wood",  "Lake",
    "River",  "Hill", "Stone", "Brook", "Kings", "Queens", "Bell",  "Black", "White", "Red"};
inline constexpr const char* const kSuburbEnds[] = {"field", "wood",  "vale",  "dale",
                                                    "ton",   "view",  "hurst", "bank",
                                                    "mead",  "ridge", "side",  "haven"};
struct State {
  const char* code;
  int first_postcode;
  int postcodes;
};
inline constexpr State kStates[] = {{"NSW", 2000, 599}, {"VIC", 3000, 999}, {"QLD", 4000, 999},
                                    {"SA", 5000, 799},  {"WA", 6000, 799},  {"TAS", 7000, 299},
                                    {"ACT", 2600, 20},  {"NT", 800, 99}};
inline constexpr const char* const kLocations[] = {
    "KITCHEN", "BED 1",  "BED 2", "BED 3",  "LOUNGE", "DINING", "BATH",    "ENSUITE",
    "LAUNDRY", "FAMILY", "ENTRY", "GARAGE", "STUDY",  "RUMPUS", "ALFRESCO"};
inline constexpr const char* const kQuoteTexts[] = {"Kitchen window replacement",
                                                    "Sliding door to rear deck",
                                                    "Shower screen - semi frameless",
                                                    "Wardrobe doors, mirror panels",
                                                    "Security screens throughout",
                                                    "Shopfront and entry doors",
                                                    "Bathroom renovation",
                                                    "New home - full window set",
                                                    "Extension windows",
                                                    "Balustrade glass",
                                                    "Fly screens to all windows",
                                                    "Re-glaze broken panes",
                                                    "Office partition glazing",
                                                    "Bifold doors to alfresco",
                                                    "Double glazing upgrade"};
inline constexpr const char* const kNotePhrases[] = {
    "Prefers contact by phone after 4pm.",   "Site access via rear lane.",
    "Builder requires quotes in duplicate.", "Account on hold pending payment.",
    "Deliver to site, not office.",          "Measure on site before ordering.",
    "Customer supplied own glass.",          "Check colour match with existing frames.",
    "Second storey - scaffold needed.",      "Strata approval required before install.",
    "Referred by a previous customer.",      "Quote valid 30 days; price rise expected."};
inline constexpr const char* const kSubjects[] = {
    "Follow up quote",  "Site measure booked", "Price query",   "Complaint - draught",
    "Payment received", "Install date set",    "Sent brochure", "Service call",
    "Warranty claim",   "Left message"};
inline constexpr const char* const kPositions[] = {"Estimator", "Sales",   "Installer", "Manager",
                                                   "Office",    "Glazier", "Fabricator"};

struct Code {
  const char* code;
  const char* desc;
};
inline constexpr Code kCustCats[] = {
    {"BLDR", "Builders"},   {"RETL", "Retail"},     {"TRAD", "Trade"},    {"GOVT", "Government"},
    {"COMM", "Commercial"}, {"INST", "Installers"}, {"GLAZ", "Glaziers"}, {"ARCH", "Architects"},
    {"DEVL", "Developers"}, {"CASH", "Cash sales"}};
inline constexpr Code kGlassCats[] = {
    {"FLT", "Float glass"},         {"LAM", "Laminated"}, {"TOU", "Toughened"},
    {"OBS", "Obscure / patterned"}, {"TIN", "Tinted"},    {"LOE", "Low-E"},
    {"IGU", "Double glazed units"}, {"MIR", "Mirror"},    {"WIR", "Wired"}};
inline constexpr Code kAlumCats[] = {{"RES", "Residential windows"}, {"DOOR", "Doors"},
                                     {"COMM", "Commercial"},         {"SHWR", "Shower screens"},
                                     {"WARD", "Wardrobes"},          {"SCRN", "Fly screens"},
                                     {"SECU", "Security"},           {"KITS", "Kits"}};
struct Series {
  const char* code;
  const char* category;
  const char* desc;
};
inline constexpr Series kSeries[] = {
    {"R50", "RES", "50mm residential"},   {"R75", "RES", "75mm residential"},
    {"R100", "RES", "100mm residential"}, {"D110", "DOOR", "110mm door"},
    {"D150", "DOOR", "150mm door"},       {"C100", "COMM", "100mm commercial"},
    {"C150", "COMM", "150mm commercial"}, {"SH10", "SHWR", "Shower frame"},
    {"WD20", "WARD", "Wardrobe track"},   {"SC10", "SCRN", "Screen frame"},
    {"SE30", "SECU", "Security frame"},   {"K10", "KITS", "Kit section"}};
struct Colour {
  const char* code;
  const char* name;
  bool special;
};
inline constexpr Colour kAlumColours[] = {
    {"WH", "White", false},       {"BK", "Black", false},       {"PR", "Primrose", false},
    {"SV", "Silver anod", false}, {"BZ", "Bronze anod", false}, {"CR", "Cream", true},
    {"CH", "Charcoal", true},     {"WG", "Woodgrain", true}};
inline constexpr const char* const kPaintColours[] = {
    "PEARL",     "SATINBLACK", "PRIMROSE",  "CREAM",     "BRONZE", "SILVER",
    "CHARCOAL",  "STORMGREY",  "WOODGRAIN", "BEIGE",     "IVORY",  "BUSHLAND",
    "SANDSTONE", "OLIVE",      "NAVY",      "RUBY",      "SLATE",  "PEWTER",
    "COPPER",    "CHAMPAGNE",  "STONE",     "PAPERBARK", "MIST",   "DUNE"};
inline constexpr const char* const kTradeSupplies[] = {"Aluminium",      "Glass",     "Hardware",
                                                       "Extrusions",     "Fasteners", "Seals",
                                                       "Powder Coating", "Timber"};

struct GlassType {
  std::string code;
  std::string desc;
  const char* category;
  int thick_hundredths;
  int price_cents;
  bool safety;
};

struct AlumType {
  std::string code;
  std::string desc;
  const Series* series;
  const Colour* colour;
  int price_cents;
};

struct Assembly {
  std::string shortcut;
  std::string desc;
  const char* category;
  const char* glass;
  int width;
  int height;
  int panels;
};

struct Suburb {
  std::string name;
  const char* state;
  int postcode;
};

// The glass types, by category and thickness.
std::vector<GlassType> GlassTypes();
// Every aluminium series in every colour.
std::vector<AlumType> AlumTypes();
// The standard assemblies: each kind in its usual sizes.
std::vector<Assembly> Assemblies();
// Suburb names made of a root and an ending, each with a state and a postcode.
std::vector<Suburb> Suburbs();

}  // namespace px::pxdb::sample

#endif  // PX_TOOLS_PXDB_SAMPLE_LISTS_H_
