// pxupdate: the update installer. Start it with the installation folder (the one
// holding indexdef.dbf) as the current folder; it reads no command line.
//
// It shows real windows when a display is available (DISPLAY or WAYLAND_DISPLAY set)
// and PX_UI is not "console"; otherwise every text goes to standard output and the
// update dialog is answered from the terminal or, in an unattended run, from
// PX_UPDATE_FROM. The backup's zip program, pkzip, is installed beside it.
#include "app/driver/main.h"
#include "engine/engine.h"
#include "ui/errorsys.h"
#include "ui/startup.h"

int main(int argc, char** argv) {
  // The toolkit may take its own options; the installer itself reads none.
  px::StartUserInterface(&argc, argv);
  px::InitEngine();
  px::ERRORSYS();
  px::MAIN();
  px::GetUiBackend().Shutdown();
  return 0;
}
