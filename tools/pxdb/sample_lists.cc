#include "tools/pxdb/sample_lists.h"

#include <algorithm>
#include <utility>

namespace px::pxdb::sample {

std::vector<GlassType> GlassTypes() {
  std::vector<GlassType> g;
  for (int t : {3, 4, 5, 6, 8, 10}) {
    g.push_back({"F" + std::to_string(t) + "CL", std::to_string(t) + "mm clear float", "FLT",
                 t * 100, 2800 + t * 900, false});
  }
  const std::pair<const char*, const char*> lam_tints[] = {
      {"CL", "clear"}, {"GY", "grey"}, {"TR", "translucent"}};
  for (int t : {638, 838, 1038, 1238}) {
    for (const auto& [code, name] : lam_tints) {
      const std::string mm = std::to_string(t / 100) + "." + std::to_string(t % 100);
      g.push_back({"L" + std::to_string(t) + code, mm + "mm laminated " + name, "LAM", t,
                   6500 + t * 9, true});
    }
  }
  for (int t : {4, 5, 6, 8, 10, 12}) {
    g.push_back({"T" + std::to_string(t) + "CL", std::to_string(t) + "mm toughened clear", "TOU",
                 t * 100, 7000 + t * 1100, true});
  }
  const std::pair<const char*, const char*> patterns[] = {
      {"REED", "reeded"}, {"FROS", "frosted"}, {"SAT", "satin"}, {"CATH", "cathedral"}};
  for (const auto& [code, name] : patterns) {
    g.push_back(
        {std::string("O4") + code, std::string("4mm obscure ") + name, "OBS", 400, 4600, false});
  }
  const std::pair<const char*, const char*> tints[] = {
      {"GY", "grey"}, {"BZ", "bronze"}, {"GN", "green"}};
  for (int t : {4, 5, 6}) {
    for (const auto& [code, name] : tints) {
      g.push_back({"N" + std::to_string(t) + code, std::to_string(t) + "mm tinted " + name, "TIN",
                   t * 100, 4200 + t * 800, false});
    }
  }
  g.push_back({"E638CL", "6.38mm low-e laminated", "LOE", 638, 14500, true});
  g.push_back({"E6CL", "6mm low-e toughened", "LOE", 600, 13200, true});
  g.push_back({"I4124", "Double glazed 4/12/4", "IGU", 2000, 16800, false});
  g.push_back({"I6126", "Double glazed 6/12/6", "IGU", 2400, 19900, false});
  g.push_back({"I6166", "Double glazed 6/16/6", "IGU", 2800, 21400, false});
  g.push_back({"M4", "4mm mirror", "MIR", 400, 5200, false});
  g.push_back({"M6", "6mm mirror safety backed", "MIR", 600, 7900, true});
  g.push_back({"W6CL", "6mm wired clear", "WIR", 600, 8800, true});
  return g;
}

std::vector<AlumType> AlumTypes() {
  std::vector<AlumType> a;
  int n = 0;
  for (const Series& s : kSeries) {
    for (const Colour& c : kAlumColours) {
      a.push_back({std::string(s.code) + c.code, std::string(s.desc) + " " + c.name, &s, &c,
                   1450 + (n % 17) * 135 + (c.special ? 420 : 0)});
      ++n;
    }
  }
  return a;
}

std::vector<Assembly> Assemblies() {
  struct Kind {
    const char* code;
    const char* name;
    const char* category;
    const char* glass;
    std::vector<int> widths;
    std::vector<int> heights;
    int panels;
  };
  const Kind kinds[] = {
      {"SW",
       "Sliding window",
       "RES",
       "F4CL",
       {600, 900, 1200, 1500, 1800, 2400},
       {600, 900, 1200, 1500},
       2},
      {"AW", "Awning window", "RES", "F4CL", {600, 900, 1200, 1500}, {600, 900, 1200}, 1},
      {"DH", "Double hung window", "RES", "F5CL", {600, 900, 1200}, {1200, 1500, 1800}, 2},
      {"FX", "Fixed light", "RES", "F6CL", {600, 1200, 1800, 2400}, {600, 1200, 2100}, 1},
      {"SD", "Sliding door", "DOOR", "T6CL", {1800, 2100, 2400, 3000}, {2100, 2400}, 2},
      {"HD", "Hinged door", "DOOR", "T6CL", {900, 1200, 1800}, {2100, 2400}, 1},
      {"BF", "Bifold door", "DOOR", "T6CL", {2400, 3000, 3600, 4800}, {2100, 2400}, 4},
      {"SS", "Shower screen", "SHWR", "T6CL", {900, 1000, 1200, 1500}, {1800, 2000}, 2},
      {"WR", "Wardrobe doors", "WARD", "M4", {1200, 1500, 1800, 2400}, {2100, 2400}, 2},
      {"FS", "Fly screen", "SCRN", "", {600, 900, 1200, 1800}, {600, 900, 1200}, 1},
      {"SC", "Security screen", "SECU", "", {900, 1200}, {2100}, 1},
      {"SF", "Shopfront", "COMM", "T10CL", {3000, 4800, 6000}, {2700, 3000}, 3},
  };
  std::vector<Assembly> a;
  for (const Kind& k : kinds) {
    for (int w : k.widths) {
      for (int h : k.heights) {
        const int ww = std::min(w / 100, 99), hh = std::min(h / 100, 99);
        std::string sc = std::string(k.code) + (ww < 10 ? "0" : "") + std::to_string(ww) +
                         (hh < 10 ? "0" : "") + std::to_string(hh);
        a.push_back({sc, std::string(k.name) + " " + std::to_string(w) + " x " + std::to_string(h),
                     k.category, k.glass, w, h, k.panels});
      }
    }
  }
  return a;
}

std::vector<Suburb> Suburbs() {
  std::vector<Suburb> s;
  int i = 0;
  for (const char* end : kSuburbEnds) {
    for (const char* root : kSuburbRoots) {
      const State& st = kStates[(i * 7 + 3) % 8];
      std::string name = std::string(root) + end;
      if (i % 5 == 2) name = "North " + name;
      if (i % 11 == 4) name = "Mount " + name;
      s.push_back({name, st.code, st.first_postcode + (i * 37) % st.postcodes});
      ++i;
    }
  }
  return s;
}

}  // namespace px::pxdb::sample
