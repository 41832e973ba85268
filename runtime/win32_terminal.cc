#include "runtime/terminal.h"

// Last: <windows.h> defines macros that clash with our names.
#include <windows.h>

namespace px {

// A console's input is a character device whose console mode can be read; a file, a
// pipe or the NUL device is not a console.
bool StandardInputIsTerminal() {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (in == nullptr || in == INVALID_HANDLE_VALUE || GetFileType(in) != FILE_TYPE_CHAR)
    return false;
  DWORD mode = 0;
  return GetConsoleMode(in, &mode) != 0;
}

}  // namespace px
