// GETDIR: the browse routine behind the update dialog's browse button.
#ifndef PX_APP_DRIVER_GETDIR_H_
#define PX_APP_DRIVER_GETDIR_H_

#include <string>

namespace px {

// Lets the user choose a folder, the chooser opening on the default's folder (or its
// drive's root when that folder cannot be entered). Returns the chosen drive and folder,
// or the default when nothing was chosen, padded with blanks to 30 characters (a longer
// path stays whole). The current drive and folder are the same afterwards as before.
std::string GETDIR(const std::string& title, const std::string& default_folder);

}  // namespace px

#endif  // PX_APP_DRIVER_GETDIR_H_
