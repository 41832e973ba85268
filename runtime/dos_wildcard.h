// DOS file-name wildcards, matched without regard to letter case.
//
//   *      any run of characters, dots included ("*" and "*.*" match every name, also
//          names without a dot);
//   ?      exactly one character; a run of ? that ends the pattern or stands before a
//          dot may also match fewer characters ("FILE?.DBF" takes "FILE.DBF");
//   NAME.* also takes NAME without an extension;
//   NAME.  takes only NAME without an extension ("*." lists names without a dot).
//
// Letters are compared as ASCII without case; every other byte must match exactly.
#ifndef PX_RUNTIME_DOS_WILDCARD_H_
#define PX_RUNTIME_DOS_WILDCARD_H_

#include <string_view>

namespace px {

// True when name (a file name without a folder) matches pattern. An empty pattern
// matches nothing.
bool DosWildcardMatch(std::string_view pattern, std::string_view name);

// True when the text holds a * or a ?.
bool HasWildcards(std::string_view text);

}  // namespace px

#endif  // PX_RUNTIME_DOS_WILDCARD_H_
