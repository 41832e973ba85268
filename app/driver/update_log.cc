#include "app/driver/update_log.h"

#include <array>
#include <cstdio>

#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "runtime/system_info.h"

namespace px {

namespace {

constexpr char kStartMark[] = "==== Update started ";
constexpr char kEndMark[] = "==== Update ended ";
constexpr size_t kFirstRecords = 10;

std::string Stamp(const LocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

// The start line of the last section of an existing log, when that section has no end
// line; "" otherwise.
std::string UnfinishedStart(const std::string& text) {
  const size_t start = text.rfind(kStartMark);
  if (start == std::string::npos) return "";
  if (text.find(kEndMark, start) != std::string::npos) return "";
  const size_t eol = text.find_first_of("\r\n", start);
  const size_t from = start + sizeof(kStartMark) - 1;
  return text.substr(from, (eol == std::string::npos ? text.size() : eol) - from);
}

uint32_t Crc32Update(uint32_t crc, const unsigned char* data, size_t n) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
  return out;
}

std::string Records(uint32_t n) {
  return std::to_string(n) + (n == 1 ? " record" : " records");
}

// A field descriptor of a structure array: NAME, TYPE, LEN, DEC.
struct Field {
  std::string name, type;
  int len = 0, dec = 0;
  std::string Shape() const {
    return type + " " + std::to_string(len) + (dec > 0 ? "." + std::to_string(dec) : "");
  }
};

std::vector<Field> Fields(const Value& structure) {
  std::vector<Field> fields;
  if (!structure.is_array()) return fields;
  for (const Value& f : structure.array()) {
    if (!f.is_array() || f.array().size() < 4) continue;
    const std::vector<Value>& a = f.array();
    fields.push_back({a[0].is_string() ? a[0].str() : "", a[1].is_string() ? a[1].str() : "",
                      static_cast<int>(a[2].number()), static_cast<int>(a[3].number())});
  }
  return fields;
}

}  // namespace

StructureChange CompareStructures(const Value& before, const Value& after) {
  StructureChange change;
  const std::vector<Field> old_fields = Fields(before);
  const std::vector<Field> new_fields = Fields(after);
  const auto find = [](const std::vector<Field>& fields, const std::string& name) -> const Field* {
    for (const Field& f : fields) {
      if (f.name == name) return &f;
    }
    return nullptr;
  };
  for (const Field& n : new_fields) {
    const Field* o = find(old_fields, n.name);
    if (o == nullptr) {
      change.added.push_back(n.name + " " + n.Shape());
    } else if (o->type != n.type) {
      change.retyped.push_back(n.name + " " + o->Shape() + " -> " + n.Shape());
    } else if (n.len > o->len || (n.len == o->len && n.dec > o->dec)) {
      change.widened.push_back(n.name + " " + o->Shape() + " -> " + n.Shape());
    } else if (n.len < o->len || n.dec < o->dec) {
      change.narrowed.push_back(n.name + " " + o->Shape() + " -> " + n.Shape());
    }
  }
  for (const Field& o : old_fields) {
    if (find(new_fields, o.name) == nullptr) change.dropped.push_back(o.name);
  }
  return change;
}

void LostValues::Add(uint32_t recno) {
  ++count;
  if (first_records.size() < kFirstRecords) first_records.push_back(recno);
}

UpdateLog::UpdateLog() = default;

UpdateLog::UpdateLog(const std::string& folder) {
  Env* env = GetEnv();
  const std::string path = folder.empty() || folder.back() == '/' ? folder + kUpdateLogFile
                                                                  : folder + "/" + kUpdateLogFile;
  int code = 0;
  std::unique_ptr<File> file;
  if (env->FileExists(path)) {
    file = env->OpenFile(path, FileAccess::kReadWrite, FileShare::kDenyNone, &code);
  } else {
    file = env->CreateFile(path, FileShare::kDenyNone, &code);
  }
  if (file == nullptr) {
    Fail(path + ": it cannot be opened (DOS error " + std::to_string(code) + ")");
    return;
  }
  file_ = std::move(file);
  const int64_t size = file_->Size();
  offset_ = size > 0 ? static_cast<uint64_t>(size) : 0;
  // Only the end of the log matters for an unfinished section: a section is short next
  // to the megabyte read here.
  constexpr uint64_t kTail = 1 << 20;
  const uint64_t from = offset_ > kTail ? offset_ - kTail : 0;
  std::string tail(offset_ - from, '\0');
  const int64_t got = file_->ReadAt(from, tail.data(), tail.size());
  tail.resize(got > 0 ? static_cast<size_t>(got) : 0);
  const std::string unfinished = UnfinishedStart(tail);
  // A log that does not end with a line end (cut off mid-line) gets one first, so that
  // the new section starts on a line of its own.
  if (!tail.empty() && tail.back() != '\n') {
    const std::string eol = "\r\n";
    if (file_->WriteAt(offset_, eol.data(), eol.size()) == 2) offset_ += 2;
  }
  Write(kStartMark + Stamp(env->Now()) + " by " + UserName() + " on " + ComputerName());
  if (!unfinished.empty()) {
    Write("Unfinished: the update started " + unfinished +
          " did not end its section (it was killed or the computer stopped); the lines above "
          "are all it wrote.");
  }
  Write("Installation: " + HostToDos(folder));
}

UpdateLog::~UpdateLog() {
  End();
}

void UpdateLog::Fail(const std::string& why) {
  std::fprintf(stderr, "pxupdate: the update log %s; the update goes on without it.\n",
               why.c_str());
  file_.reset();
}

void UpdateLog::Write(const std::string& line) {
  if (file_ == nullptr) return;
  const std::string bytes = line + "\r\n";
  // Appends at the end as it is now: another run writing to the same log at the same
  // time (a second workstation) then interleaves its lines with these instead of
  // overwriting them.
  if (const int64_t size = file_->Size(); size > 0) offset_ = static_cast<uint64_t>(size);
  if (file_->WriteAt(offset_, bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size())) {
    Fail("update.log cannot be written (DOS error " + std::to_string(file_->os_error()) + ")");
    return;
  }
  offset_ += bytes.size();
}

void UpdateLog::Line(std::string_view text) {
  Write(std::string(text));
}

void UpdateLog::Phase(int number, std::string_view what) {
  phase_ = number;
  phase_what_ = what;
}

void UpdateLog::Source(const std::string& dos_folder, const std::string& host_folder) {
  std::string host = host_folder;
  if (host.size() > 1 && host.back() == '/') host.pop_back();
  Write("Source: " + dos_folder + (host.empty() ? "" : " (" + host + ")"));
}

void UpdateLog::Archive(const std::string& dos_name) {
  if (file_ == nullptr) return;
  int code = 0;
  std::unique_ptr<File> f =
      GetEnv()->OpenFile(dos_name, FileAccess::kRead, FileShare::kDenyNone, &code);
  if (f == nullptr) {
    Write("Archive: " + dos_name + " cannot be read (DOS error " + std::to_string(code) + ")");
    return;
  }
  uint32_t crc = 0;
  uint64_t offset = 0;
  std::vector<unsigned char> buf(1 << 16);
  for (;;) {
    const int64_t n = f->ReadAt(offset, buf.data(), buf.size());
    if (n <= 0) break;
    crc = Crc32Update(crc, buf.data(), static_cast<size_t>(n));
    offset += static_cast<uint64_t>(n);
  }
  char hex[16];
  std::snprintf(hex, sizeof(hex), "%08X", crc);
  Write("Archive: " + dos_name + ", " + std::to_string(offset) + " bytes, CRC " + hex);
}

void UpdateLog::Backup(const std::string& archive, int exit_code) {
  if (archive.empty()) {
    Write("Backup: none made");
  } else {
    Write("Backup: " + archive + ".zip (zip program exit code " + std::to_string(exit_code) + ")");
  }
}

void UpdateLog::TableCopied(const std::string& name, std::optional<uint32_t> records_before,
                            uint32_t records_after, bool brings_records,
                            const StructureChange& change) {
  std::string line = "Table " + name + ": copied from the update (";
  line += brings_records ? "it brings its records" : "not installed before";
  line += "), ";
  if (records_before) line += Records(*records_before) + " before, ";
  Write(line + Records(records_after) + " after");
  if (records_before) WriteChange(change);
}

void UpdateLog::WriteChange(const StructureChange& change) {
  const std::pair<const char*, const std::vector<std::string>*> kinds[] = {
      {"added", &change.added},
      {"dropped", &change.dropped},
      {"widened", &change.widened},
      {"narrowed", &change.narrowed},
      {"changed in type", &change.retyped}};
  for (const auto& [label, items] : kinds) {
    if (!items->empty()) Write(std::string("  fields ") + label + ": " + Join(*items));
  }
}

void UpdateLog::TableRebuilt(const std::string& name, uint32_t records_before,
                             uint32_t records_after, uint32_t deleted_left_out,
                             const StructureChange& change, const std::vector<LostValues>& lost) {
  Write("Table " + name + ": rebuilt with the new structure, " + Records(records_before) +
        " before, " + Records(records_after) + " after");
  if (deleted_left_out > 0) {
    Write("  " + Records(deleted_left_out) + " marked deleted left out");
  }
  WriteChange(change);
  for (const LostValues& l : lost) {
    std::vector<std::string> numbers;
    for (uint32_t r : l.first_records) numbers.push_back(std::to_string(r));
    Write("  values not stored in " + l.field + ": " + std::to_string(l.count) + " " + l.how +
          ", " + (l.count > l.first_records.size() ? "first records " : "records ") +
          Join(numbers));
  }
}

void UpdateLog::TableUnchanged(const std::string& name, std::string_view why) {
  Write("Table " + name + ": unchanged, " + std::string(why));
}

void UpdateLog::Files(std::string_view kind, const std::vector<std::string>& installed,
                      const std::vector<std::string>& failed) {
  if (!installed.empty()) Write(std::string(kind) + " installed: " + Join(installed));
  if (!failed.empty()) Write(std::string(kind) + " not installed: " + Join(failed));
}

void UpdateLog::Repair(std::string_view routine, std::string_view table, std::string_view what) {
  Write("Repair " + std::string(routine) + " " + std::string(table) + ": " + std::string(what));
}

void UpdateLog::Indexes(int rebuilt, const std::vector<std::string>& failed) {
  Write("Indexes: " + std::to_string(rebuilt) + " rebuilt, " + std::to_string(failed.size()) +
        " failed");
  for (const std::string& f : failed) Write("  not rebuilt: " + f);
}

void UpdateLog::Alert(std::string_view text) {
  last_alert_ = text;
  Write("Alert: " + std::string(text));
}

void UpdateLog::Error(std::string_view text) {
  last_error_ = text;
  Write("Error: " + std::string(text));
}

void UpdateLog::Completed() {
  if (!outcome_.empty()) return;
  outcome_ =
      abandoned_stretch_.empty() ? "completed" : "completed only in part: " + abandoned_stretch_;
}

void UpdateLog::Abandoned() {
  if (outcome_.empty()) outcome_ = "abandoned by the user";
}

void UpdateLog::Stopped(std::string_view reason) {
  if (!outcome_.empty()) return;
  outcome_ =
      (phase_ == 0 ? std::string("stopped before the update began")
                   : "stopped in phase " + std::to_string(phase_) + " (" + phase_what_ + ")") +
      " by: " + std::string(reason);
  if (!abandoned_stretch_.empty()) outcome_ += " (earlier, " + abandoned_stretch_ + ")";
}

void UpdateLog::StretchAbandoned() {
  if (abandoned_stretch_.empty()) {
    abandoned_stretch_ = "phases " + std::to_string(phase_) + " to 12 were passed over after: " +
                         (last_alert_.empty() ? std::string("a stop") : last_alert_);
  }
}

void UpdateLog::End() {
  if (ended_ || file_ == nullptr) return;
  ended_ = true;
  if (outcome_.empty()) {
    if (!last_error_.empty()) {
      Stopped("error " + last_error_);
    } else if (!last_alert_.empty()) {
      Stopped(last_alert_);
    } else {
      Stopped("an unknown cause");
    }
  }
  Write("Outcome: " + outcome_);
  Write(kEndMark + Stamp(GetEnv()->Now()));
  if (file_ != nullptr) file_->Sync();
}

}  // namespace px
