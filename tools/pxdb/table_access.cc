#include "tools/pxdb/table_access.h"

#include <algorithm>
#include <ostream>

#include "engine/workarea/registry.h"
#include "runtime/dos_path.h"

namespace px::pxdb {

EngineSession::EngineSession()
    : handler_([this](Error& e) {
        errors_.push_back(e);
        return ErrorAnswer::Default();
      }),
      current_before_(CurrentAreaNumber()) {
  for (WorkArea* area : OpenAreas()) areas_before_.push_back(area->area_number());
}

EngineSession::~EngineSession() {
  for (WorkArea* area : OpenAreas()) {
    const uint16_t number = area->area_number();
    if (std::find(areas_before_.begin(), areas_before_.end(), number) != areas_before_.end()) {
      continue;
    }
    DBSELECTAREA(number);
    DBCLOSEAREA();
  }
  DBSELECTAREA(current_before_);
}

std::string EngineSession::FirstError() const {
  return errors_.empty() ? std::string() : Latin1ToUtf8(ERRORMESSAGE(errors_.front()));
}

int Fail(Io& io, const std::string& message) {
  std::string line = message;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  io.err << "pxdb: " << line << "\n";
  return 1;
}

DbfArea* OpenTable(const std::string& file, const GlobalOptions& options, bool read_only,
                   EngineSession& session, std::string* message) {
  session.Clear();
  if (!DBUSEAREA(true, "", file, "PXDB", options.shared, read_only)) {
    *message = session.failed() ? session.FirstError() : "cannot open " + Latin1ToUtf8(file);
    return nullptr;
  }
  return dynamic_cast<DbfArea*>(CurrentArea());
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

bool Utf8ToLatin1(std::string_view text, std::string* bytes) {
  bytes->clear();
  bytes->reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      *bytes += text[i];
      continue;
    }
    // Only two-byte sequences for U+0080 to U+00FF: lead byte 0xC2 or 0xC3.
    if ((b != 0xC2 && b != 0xC3) || i + 1 >= text.size()) return false;
    const auto c = static_cast<unsigned char>(text[i + 1]);
    if ((c & 0xC0) != 0x80) return false;
    *bytes += static_cast<char>(((b & 0x03) << 6) | (c & 0x3F));
    ++i;
  }
  return true;
}

std::string Trim(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;
  return std::string(text.substr(begin, end - begin));
}

bool IsDosFolder(const std::string& folder) {
  return folder.find('\\') != std::string::npos || HasDrive(folder);
}

std::string FileInFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  if (last == '/' || last == '\\' || last == ':') return folder + name;
  return folder + (IsDosFolder(folder) ? "\\" : "/") + name;
}

}  // namespace px::pxdb
