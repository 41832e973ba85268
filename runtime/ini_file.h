// A small INI file: "[Section]" headings and "key=value" lines, read and written
// through the Env. Section and key names match without regard to letter case; lines
// end in CR LF when written.
#ifndef PX_RUNTIME_INI_FILE_H_
#define PX_RUNTIME_INI_FILE_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace px {

class IniFile {
 public:
  // Parses the file; a missing or unreadable file gives an empty IniFile.
  static IniFile Load(std::string_view name);
  static IniFile Parse(std::string_view text);

  std::string Get(std::string_view section, std::string_view key,
                  std::string_view default_value = {}) const;
  void Set(std::string_view section, std::string_view key, std::string_view value);
  std::string Text() const;
  // Writes the file, replacing it; false when it cannot be written.
  bool Save(std::string_view name) const;

 private:
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
  };
  std::vector<Section> sections_;
};

}  // namespace px

#endif  // PX_RUNTIME_INI_FILE_H_
