// The process-wide error handler of the program.
//
// ERRORSYS installs it at start-up. Errors go through the quiet policy of
// runtime/error.h first (zero division gives 0; sharing and access-denied open
// failures and append-lock failures that can default set NETERR and fail quietly);
// every other error is reported:
//
//   - An error raised while the error dialog is up ends the program at once with exit
//     code 1; one raised elsewhere in the report shows a stop box with its message text
//     followed by " from Errorsys, line:" and the report's line, then ends the program
//     with exit code 1. The handler never recurses.
//   - The log text is written to "Error.log" in the error log folder (runtime/error.h:
//     the installation folder while the installer runs, else the current folder),
//     replacing it (a failure to write is ignored), and the error dialog is shown.
//   - Quit, or Retry while the main window is no longer running, releases the user
//     interface and ends the program with exit code 1; otherwise Retry asks the raiser
//     to retry and Default to go on with its default.
//
// ERRORSYS also routes unrecoverable errors (runtime/error.h: UnrecoverableError) to
// a stop box captioned "Unrecoverable error N: ".
#ifndef PX_UI_ERRORSYS_H_
#define PX_UI_ERRORSYS_H_

#include "runtime/error.h"

namespace px {

void ERRORSYS();

// The report: steps after the quiet policy (installed as the report hook).
ErrorAnswer ReportError(Error& e);

}  // namespace px

#endif  // PX_UI_ERRORSYS_H_
