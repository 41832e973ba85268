// The process-wide registry of work areas: the number index, the open-area list, the
// aliases and the current number; and the commands that select, open and close areas.
#include "engine/workarea/registry.h"

#include <algorithm>
#include <map>
#include <memory>

#include "runtime/dos_path.h"
#include "runtime/error.h"
#include "runtime/memvars.h"
#include "runtime/process_state.h"
#include "runtime/settings.h"

namespace px {

namespace {

constexpr uint32_t kMaxArea = 65535;
constexpr size_t kGrowth = 256;

struct Registry {
  uint16_t current = 1;
  // Position (1-based) of each area number in the open-area list, 0 when free. Grown in
  // blocks of 256 entries.
  std::vector<uint16_t> index;
  // The open areas in ascending number; capacity grown and shrunk in blocks of 256.
  std::vector<std::unique_ptr<WorkArea>> list;
  // Normalised alias -> area number.
  std::map<std::string, uint16_t> aliases;
};

Registry& Reg() {
  static Registry* registry = new Registry();
  return *registry;
}

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The decimal value of text beginning with a digit (digits up to the first other
// character), saturating above the largest area number.
uint32_t LeadingNumber(std::string_view text) {
  uint32_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    n = n * 10 + static_cast<uint32_t>(c - '0');
    if (n > kMaxArea) return kMaxArea + 1;
  }
  return n;
}

// The lowest area number whose index entry is free (one past the index end when all
// are taken); 0 when every number is in use.
uint16_t LowestFree() {
  const Registry& r = Reg();
  for (size_t n = 1; n < r.index.size(); ++n) {
    if (r.index[n] == 0) return static_cast<uint16_t>(n);
  }
  const size_t next = r.index.empty() ? 1 : r.index.size();
  return next > kMaxArea ? 0 : static_cast<uint16_t>(next);
}

void SelectNumber(uint32_t number) {
  if (number < 1 || number > kMaxArea) {
    Reg().current = LowestFree();
  } else {
    Reg().current = static_cast<uint16_t>(number);
  }
}

void ReindexFrom(size_t position) {
  Registry& r = Reg();
  for (size_t i = position; i < r.list.size(); ++i) {
    r.index[r.list[i]->area_number()] = static_cast<uint16_t>(i + 1);
  }
}

// Inserts an area at the current number (the lowest free one when it is 0); the area
// becomes the current one.
WorkArea* InsertArea(std::unique_ptr<WorkArea> area) {
  Registry& r = Reg();
  if (r.current == 0) r.current = LowestFree();
  const uint16_t number = r.current;
  if (number == 0) return nullptr;
  if (number >= r.index.size()) r.index.resize((number / kGrowth + 1) * kGrowth, 0);
  if (r.list.size() == r.list.capacity()) r.list.reserve(r.list.capacity() + kGrowth);
  area->set_area_number(number);
  auto pos = std::lower_bound(
      r.list.begin(), r.list.end(), number,
      [](const std::unique_ptr<WorkArea>& a, uint16_t n) { return a->area_number() < n; });
  const size_t at = static_cast<size_t>(pos - r.list.begin());
  WorkArea* raw = area.get();
  r.list.insert(pos, std::move(area));
  ReindexFrom(at);
  return raw;
}

// Removes the area at the current number from the registry and destroys it.
void RemoveCurrentArea() {
  Registry& r = Reg();
  const uint16_t number = r.current;
  if (number == 0 || number >= r.index.size() || r.index[number] == 0) return;
  const size_t at = r.index[number] - 1u;
  std::unique_ptr<WorkArea> area = std::move(r.list[at]);
  r.list.erase(r.list.begin() + static_cast<std::ptrdiff_t>(at));
  r.index[number] = 0;
  ReindexFrom(at);
  if (r.list.empty()) {
    // The last area closed: list and index are freed.
    std::vector<std::unique_ptr<WorkArea>>().swap(r.list);
    std::vector<uint16_t>().swap(r.index);
  } else if (r.list.capacity() - r.list.size() >= kGrowth) {
    std::vector<std::unique_ptr<WorkArea>> smaller;
    smaller.reserve((r.list.size() + kGrowth - 1) / kGrowth * kGrowth);
    for (auto& a : r.list) smaller.push_back(std::move(a));
    r.list = std::move(smaller);
  }
  area->Release();
}

Error CommandError(int gen_code, int sub_code, const char* operation) {
  Error e = Error::Make("DBCMD", gen_code, sub_code);
  e.operation = operation;
  return e;
}

// Aliases that name a memory variable (M->, MEMVAR->) or the current area (FIELD->).
bool IsMemvarAlias(const std::string& upper) {
  return upper == "M" || upper == "MEMV" || upper == "MEMVA" || upper == "MEMVAR";
}
bool IsFieldAlias(const std::string& upper) {
  return upper == "FIEL" || upper == "FIELD";
}

// The 1-based position of a field in an area (name upper-cased, trailing blanks removed,
// cut to 10), 0 when absent.
uint16_t FieldPosIn(WorkArea* area, std::string_view name) {
  if (area == nullptr) return 0;
  std::string key(name);
  while (!key.empty() && key.back() == ' ') key.pop_back();
  for (char& c : key) c = UpperAscii(c);
  if (key.size() > 10) key.resize(10);
  uint16_t count = 0;
  if (!area->FieldCount(&count)) return 0;
  for (uint16_t i = 1; i <= count; ++i) {
    std::string field;
    if (area->FieldName(i, &field) && field == key) return i;
  }
  return 0;
}

// Runs fn with the area of an alias selected, then restores the current number. The
// alias M/MEMVAR names memory variables (memvar is called instead).
template <typename AreaFn, typename MemvarFn>
Value WithAliasArea(std::string_view alias, AreaFn area_fn, MemvarFn memvar_fn) {
  std::string upper(alias);
  for (char& c : upper) c = UpperAscii(c);
  if (IsMemvarAlias(upper)) return memvar_fn();
  const uint16_t saved = Reg().current;
  uint16_t number = saved;
  if (!IsFieldAlias(upper)) {
    number = ResolveAlias(alias);
    if (number == 0) return Value();
  }
  Reg().current = number;
  Value result = area_fn(CurrentArea());
  Reg().current = saved;
  return result;
}

Error NoVariableError(std::string_view name) {
  Error e = Error::Make("BASE", kErrNoVar, 1003);
  e.operation = std::string(name);
  e.can_retry = true;
  return e;
}

}  // namespace

// --- Queries ---

WorkArea* CurrentArea() {
  return AreaByNumber(Reg().current);
}

WorkArea* CurrentAreaOrRaise(const char* operation) {
  WorkArea* area = CurrentArea();
  if (area == nullptr) {
    Error e = Error::Make("DBCMD", kErrNoTable, 2001);
    e.operation = operation;
    e.can_default = true;
    RaiseError(e);
  }
  return area;
}

uint16_t CurrentAreaNumber() {
  return Reg().current;
}

WorkArea* AreaByNumber(uint16_t number) {
  const Registry& r = Reg();
  if (number == 0 || number >= r.index.size() || r.index[number] == 0) return nullptr;
  return r.list[r.index[number] - 1u].get();
}

std::vector<WorkArea*> OpenAreas() {
  std::vector<WorkArea*> out;
  for (const auto& a : Reg().list) out.push_back(a.get());
  return out;
}

std::string NormalizeAlias(std::string_view alias) {
  std::string out;
  for (char c : alias) {
    if (c == ' ' || c == '\t') break;
    if (out.size() == 63) break;
    out += UpperAscii(c);
  }
  return out;
}

uint16_t AliasArea(std::string_view alias) {
  const std::string key = NormalizeAlias(alias);
  if (key.empty()) return 0;
  auto it = Reg().aliases.find(key);
  return it == Reg().aliases.end() ? 0 : it->second;
}

bool RegisterAlias(std::string_view alias, uint16_t area) {
  const std::string key = NormalizeAlias(alias);
  if (key.empty()) return false;
  auto it = Reg().aliases.find(key);
  if (it != Reg().aliases.end() && it->second != 0 && it->second != area) return false;
  Reg().aliases[key] = area;
  return true;
}

void UnregisterAlias(std::string_view alias) {
  Reg().aliases.erase(NormalizeAlias(alias));
}

uint16_t ResolveAlias(std::string_view alias) {
  if (!alias.empty()) {
    const char first = UpperAscii(alias[0]);
    if (first >= '1' && first <= '9') {
      const uint32_t n = LeadingNumber(alias);
      return n > kMaxArea ? 0 : static_cast<uint16_t>(n);
    }
    if (alias.size() == 1 && first >= 'A' && first <= 'K') {
      return static_cast<uint16_t>(first - 'A' + 1);
    }
  }
  Error e = Error::Make("BASE", kErrNoAlias, 1002);
  e.operation = std::string(alias);
  e.can_retry = true;
  for (;;) {
    const uint16_t number = AliasArea(alias);
    if (number != 0) return number;
    if (!RaiseError(e).retry()) return 0;
  }
}

// --- Selection ---

void DBSELECTAREA(const Value& area) {
  if (!area.is_string()) {
    const int64_t n = area.is_number() ? area.integer() : 0;
    SelectNumber(n < 0 || n > kMaxArea ? 0 : static_cast<uint32_t>(n));
    return;
  }
  const std::string& text = area.str();
  if (!text.empty() && text[0] >= '0' && text[0] <= '9') {
    SelectNumber(LeadingNumber(text));
    return;
  }
  if (text.size() == 1) {
    const char c = UpperAscii(text[0]);
    if (c >= 'A' && c <= 'K') {
      SelectNumber(static_cast<uint32_t>(c - 'A' + 1));
      return;
    }
    if (c == 'M') {
      SelectNumber(0);
      return;
    }
  }
  const uint16_t number = ResolveAlias(text);
  if (number != 0) SelectNumber(number);
}

int SELECT() {
  return Reg().current;
}

int SELECT(const Value& alias) {
  if (!alias.is_string() || alias.str().empty()) return 0;
  const std::string& text = alias.str();
  if (text.size() == 1) {
    const char c = UpperAscii(text[0]);
    if (c >= 'A' && c <= 'K') return c - 'A' + 1;
  }
  return AliasArea(text);
}

std::string ALIAS(int area) {
  WorkArea* a = area == 0 ? CurrentArea()
                          : (area > 0 && area <= static_cast<int>(kMaxArea)
                                 ? AreaByNumber(static_cast<uint16_t>(area))
                                 : nullptr);
  if (a == nullptr) return std::string();
  std::string name;
  a->Alias(&name);
  return name;
}

bool USED() {
  return CurrentArea() != nullptr;
}

// --- Opening and closing ---

WorkArea* NewAreaInCurrentSlot(std::string_view driver) {
  std::string name(driver.substr(0, 32));
  for (char& c : name) c = UpperAscii(c);
  if (name.empty()) name = DefaultDriverName();
  const Driver* d = FindDriver(name);
  if (d == nullptr) return nullptr;
  std::unique_ptr<WorkArea> area = d->NewArea();
  if (area == nullptr || !area->NewArea()) return nullptr;
  return InsertArea(std::move(area));
}

void ReleaseCurrentArea() {
  RemoveCurrentArea();
}

bool DBUSEAREA(bool new_area, std::string_view driver, std::string_view file,
               std::string_view alias, std::optional<bool> shared, std::optional<bool> read_only,
               std::string_view code_page) {
  SetNetErr(false);
  if (!new_area && CurrentArea() != nullptr) DBCLOSEAREA();

  std::string driver_name(driver.substr(0, 32));
  for (char& c : driver_name) c = UpperAscii(c);
  if (driver_name.empty()) driver_name = DefaultDriverName();

  if (file.empty()) {
    RaiseError(CommandError(kErrArg, 1005, "DBUSEAREA"));
    return false;
  }
  std::string name(file.substr(0, 255));
  std::string folder, base_file, base, ext;
  SplitPath(name, &folder, &base_file);
  SplitExtension(base_file, &base, &ext);

  const std::string given_alias(alias.substr(0, 32));
  const std::string use_alias = !given_alias.empty() ? given_alias : base.substr(0, 32);
  if (!use_alias.empty() && use_alias[0] >= '0' && use_alias[0] <= '9') {
    Error e = CommandError(kErrBadAlias, 1010, "DBUSEAREA");
    e.operation = use_alias;
    RaiseError(e);
    return false;
  }
  if (NormalizeAlias(use_alias).empty()) {
    // A name that normalises to nothing (it begins with a blank) cannot be looked up.
    Error e = CommandError(kErrBadAlias, 1010, "DBUSEAREA");
    e.operation = use_alias;
    RaiseError(e);
    return false;
  }
  const char one = UpperAscii(use_alias[0]);
  if ((use_alias.size() == 1 && static_cast<unsigned char>(one) < 'N' && one != 'L') ||
      AliasArea(use_alias) != 0) {
    Error e = CommandError(kErrDupAlias, 1011, "DBUSEAREA");
    e.operation = use_alias;
    RaiseError(e);
    return false;
  }

  if (new_area) DBSELECTAREA(0);
  WorkArea* area = NewAreaInCurrentSlot(driver_name);
  if (area == nullptr) {
    RaiseError(CommandError(kErrArg, 1015, "DBUSEAREA"));
    return false;
  }
  if (ext.empty()) {
    const Driver* d = FindDriver(driver_name);
    name += d->TableExtension();
  }

  OpenInfo info;
  info.area = area->area_number();
  info.file_name = name;
  info.alias = use_alias;
  info.shared = shared.has_value() ? *shared : !GetSettings().exclusive;
  info.read_only = read_only.value_or(false);
  info.code_page = std::string(code_page);
  if (!area->Open(info)) {
    SetNetErr(true);
    area->Close();
    RemoveCurrentArea();
    return false;
  }
  return true;
}

void DBCLOSEAREA() {
  WorkArea* area = CurrentArea();
  if (area == nullptr) return;
  area->Close();
  RemoveCurrentArea();
}

void DBCLOSEALL() {
  // Pass 1 closes every area that is not the child of a relation, and repeats while it
  // skipped any; pass 2 releases them all.
  for (;;) {
    bool skipped = false, closed = false;
    for (WorkArea* area : OpenAreas()) {
      if (area->parent_relations() != 0) {
        skipped = true;
        continue;
      }
      Reg().current = area->area_number();
      area->Close();
      closed = true;
    }
    if (!skipped) break;
    if (!closed) {
      for (WorkArea* area : OpenAreas()) {
        Reg().current = area->area_number();
        area->Close();
      }
      break;
    }
  }
  for (WorkArea* area : OpenAreas()) {
    Reg().current = area->area_number();
    RemoveCurrentArea();
  }
  Reg().current = 1;
}

void DBCOMMIT() {
  WorkArea* area = CurrentArea();
  if (area == nullptr) {
    Error e = CommandError(kErrNoTable, 2001, "DBCOMMIT");
    e.can_default = true;
    RaiseError(e);
    return;
  }
  area->Flush();
}

void DBCOMMITALL() {
  const uint16_t saved = Reg().current;
  for (WorkArea* area : OpenAreas()) {
    Reg().current = area->area_number();
    area->Flush();
  }
  Reg().current = saved;
}

// --- alias->field ---

Value AliasFieldGet(std::string_view alias, std::string_view field) {
  return WithAliasArea(
      alias,
      [&](WorkArea* area) -> Value {
        Error e = NoVariableError(field);
        for (;;) {
          const uint16_t pos = FieldPosIn(area, field);
          if (pos != 0) {
            Value v;
            return area->GetValue(pos, &v) ? v : Value();
          }
          if (!RaiseError(e).retry()) return Value();
        }
      },
      [&]() -> Value {
        Error e = NoVariableError(field);
        for (;;) {
          if (const Value* v = GetMemVars().Find(field)) return *v;
          if (!RaiseError(e).retry()) return Value();
        }
      });
}

Value AliasFieldPut(std::string_view alias, std::string_view field, const Value& value) {
  return WithAliasArea(
      alias,
      [&](WorkArea* area) -> Value {
        Error e = NoVariableError(field);
        for (;;) {
          const uint16_t pos = FieldPosIn(area, field);
          if (pos != 0) return area->PutValue(pos, value) ? value : Value();
          if (!RaiseError(e).retry()) return Value();
        }
      },
      [&]() -> Value {
        GetMemVars().Set(field, value);
        return value;
      });
}

uint16_t FieldPosition(WorkArea* area, std::string_view name) {
  return FieldPosIn(area, name);
}

// --- Tests ---

void ResetWorkAreasForTesting() {
  ScopedErrorHandler quiet([](Error&) { return ErrorAnswer::Default(); });
  DBCLOSEALL();
  Reg().aliases.clear();
  Reg().current = 1;
}

}  // namespace px
