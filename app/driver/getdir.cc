#include "app/driver/getdir.h"

#include "app/data/catalogue_fields.h"
#include "app/driver/driver_vars.h"
#include "app/driver/recovery.h"
#include "runtime/call_stack.h"
#include "runtime/env.h"
#include "runtime/folders.h"
#include "ui/folder_chooser.h"

namespace px {

std::string GETDIR(const std::string& title, const std::string& default_folder) {
  CallStep step("GETDIR");
  // The whole current folder is remembered (as the host knows it), so that a path of
  // any length comes back exactly.
  const std::string before = GetEnv()->CurrentDir();
  std::string result = PadRight(default_folder, 30);
  RecoveryPoint([&] {
    const std::string drive = default_folder.substr(0, 2);
    SETCURDRIVE(Value::String(drive));
    const std::string folder = default_folder.size() > 2 ? TrimRight(default_folder.substr(2)) : "";
    if (folder.empty() || DIRCHANGE(Value::String(folder)) != 0) {
      DIRCHANGE(Value::String("\\"));
    }
    std::string chosen = CGETDIR32(title);
    if (chosen.empty()) chosen = default_folder;
    result = PadRight(chosen, 30);
  });
  DIRCHANGE(Value::String(before));
  return result;
}

}  // namespace px
