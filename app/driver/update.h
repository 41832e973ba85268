// UPDATE: the update dialog, asking where the update comes from and showing where it
// goes, then running the update procedure.
#ifndef PX_APP_DRIVER_UPDATE_H_
#define PX_APP_DRIVER_UPDATE_H_

#include <string>
#include <string_view>

namespace px {

class UpdateLog;

// Iconises the main window, asks for the update folder (by default D:\; the target is
// always the current folder), and on OK runs UPDATE1 with the drives and folders split
// out of both and the archive base name "PXUPD". Cancel or closing the dialog shows
// "Installation Abandoned!" and updates nothing. Holds the outermost recovery point of
// the update: every BREAK not caught earlier ends here, and UPDATE returns normally.
// The source folder, the run's facts and a cancel ("abandoned by the user") go to `log`
// when one is given.
void UPDATE(UpdateLog* log = nullptr);

// How the dialog's values are split: drive = the first two characters; folder = the
// rest, "" when it is only "\" (whole, however long; trailing blanks trimmed). A value
// typed as a host path ("/media/usb/upd") is first turned into its DOS form.
struct DriveAndFolder {
  std::string drive;
  std::string folder;
};
DriveAndFolder SplitDialogPath(std::string_view value);

}  // namespace px

#endif  // PX_APP_DRIVER_UPDATE_H_
