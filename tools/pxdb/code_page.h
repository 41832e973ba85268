// Table text in a Windows or DOS code page turned into UTF-8.
#ifndef PX_TOOLS_PXDB_CODE_PAGE_H_
#define PX_TOOLS_PXDB_CODE_PAGE_H_

#include <optional>
#include <string>
#include <string_view>

namespace px::pxdb {

enum class CodePage { kCp1252, kCp850, kLatin1 };

// "cp1252", "cp850" or "latin1" (any letter case); nothing for another name.
std::optional<CodePage> CodePageNamed(std::string_view name);

// Appends the bytes as UTF-8 to *out. Every byte has a character: the bytes cp1252
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the
// same number, as Windows converts them.
void AppendUtf8(std::string_view bytes, CodePage page, std::string* out);

}  // namespace px::pxdb

#endif  // PX_TOOLS_PXDB_CODE_PAGE_H_
