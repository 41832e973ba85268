// pxupdate: the update installer. Start it with the installation folder (the one
// holding indexdef.dbf) as the current folder; it takes no arguments beyond --help and
// --version, which print their text and end without touching the current folder.
//
// It shows real windows when a display is available (DISPLAY or WAYLAND_DISPLAY set)
// and PX_UI is not "console"; otherwise every text goes to standard output and the
// update dialog is answered from the terminal or, in an unattended run, from
// PX_UPDATE_FROM. The backup's zip program, pkzip, is installed beside it.
#include <cstdio>
#include <cstring>

#include "app/driver/main.h"
#include "engine/engine.h"
#include "tools/version.h"
#include "ui/errorsys.h"
#include "ui/startup.h"

namespace {

constexpr char kUsage[] =
    "usage: pxupdate [--help | --version]\n"
    "\n"
    "Installs an update of Parvex. Start it in the installation folder (the folder\n"
    "that holds indexdef.dbf); it asks for the update folder (the one holding\n"
    "PXUPD.zip, by default D:\\), backs the tables up into backup\\PXBn.zip, migrates\n"
    "the tables, rebuilds every index, repairs the data, installs the new programs and\n"
    "starts Parvex again. Each run adds a section to update.log in the installation\n"
    "folder.\n"
    "\n"
    "Without a display, or with PX_UI=console, it works on the terminal:\n"
    "  PX_UPDATE_FROM  the update folder, answering the dialog in an unattended run\n"
    "  PX_DRIVES       drive letters mapped to host folders, e.g. \"D=/media/usb\"\n"
    "\n"
    "Example:\n"
    "  cd /srv/parvex && PX_UI=console PX_DRIVES=D=/media/usb PX_UPDATE_FROM='D:\\' pxupdate\n";

}  // namespace

int main(int argc, char** argv) {
  // The installer takes no arguments: anything else is refused before the folder is
  // looked at, so that trying an option never starts an update.
  if (argc > 1) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
      std::printf("pxupdate %s\n", px::kToolsVersion);
      return 0;
    }
    std::fprintf(stderr,
                 "pxupdate: unknown argument %s\nusage: pxupdate [--help | --version]\n"
                 "pxupdate takes no arguments: start it in the installation folder.\n",
                 argv[1]);
    return 2;
  }
  px::StartUserInterface(&argc, argv);
  px::InitEngine();
  px::ERRORSYS();
  px::MAIN();
  px::GetUiBackend().Shutdown();
  return 0;
}
