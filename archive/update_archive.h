// Making an update archive: the files an update ships, password-protected.
#ifndef PX_ARCHIVE_UPDATE_ARCHIVE_H_
#define PX_ARCHIVE_UPDATE_ARCHIVE_H_

#include <string>
#include <vector>

namespace px {

// Writes a new archive (replacing any file of that name) holding each file at the top
// level under the name it has on disk, deflated and encrypted with traditional PKWARE encryption,
// which every unpacker reads. Two files of the same name (in any letter case) and an
// empty password are refused. False on failure with a one-line message in *error.
bool MakeUpdateArchive(const std::string& archive, const std::string& password,
                       const std::vector<std::string>& files, std::string* error);

}  // namespace px

#endif  // PX_ARCHIVE_UPDATE_ARCHIVE_H_
