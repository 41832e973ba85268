// What the commands of pxdb share: the engine session that turns raised errors into
// messages, opening a table, and text conversions between table bytes and JSON.
#ifndef PX_TOOLS_PXDB_TABLE_ACCESS_H_
#define PX_TOOLS_PXDB_TABLE_ACCESS_H_

#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf/dbf_area.h"
#include "runtime/error.h"
#include "tools/pxdb/command.h"

namespace px::pxdb {

// While it lives, every error the engine raises is collected and answered with default
// (never retry, so no operation loops); at the end the work areas opened meanwhile are
// closed and the area that was current is selected again.
class EngineSession {
 public:
  EngineSession();
  ~EngineSession();
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

  bool failed() const { return !errors_.empty(); }
  // The errors collected since the last Clear, oldest first.
  const std::vector<Error>& errors() const { return errors_; }
  // The message text of the first error collected since the last Clear.
  std::string FirstError() const;
  void Clear() { errors_.clear(); }

 private:
  std::vector<Error> errors_;
  ScopedErrorHandler handler_;
  std::vector<uint16_t> areas_before_;
  uint16_t current_before_;
};

// Writes "pxdb: message" as one line on io.err and returns 1.
int Fail(Io& io, const std::string& message);

// Opens a table into a new work area under the alias PXDB; on failure returns nullptr
// with the reason in *message.
DbfArea* OpenTable(const std::string& file, const GlobalOptions& options, bool read_only,
                   EngineSession& session, std::string* message);

// Table bytes as JSON text: every byte becomes the character of that code (Latin-1).
std::string Latin1ToUtf8(std::string_view bytes);
// The reverse; false when a character lies above U+00FF or the text is not UTF-8.
bool Utf8ToLatin1(std::string_view text, std::string* bytes);

// The text of a field with blanks removed at both ends.
std::string Trim(std::string_view text);

// Whether a folder is written as a DOS path (with a drive or a "\") rather than a host
// path.
bool IsDosFolder(const std::string& folder);

// A file name in a folder: the folder joined with the name by "\" for DOS paths and "/"
// for host paths; the name alone when the folder is empty.
std::string FileInFolder(const std::string& folder, const std::string& name);

}  // namespace px::pxdb

#endif  // PX_TOOLS_PXDB_TABLE_ACCESS_H_
