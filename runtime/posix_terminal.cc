#include "runtime/terminal.h"

#include <unistd.h>

namespace px {

bool StandardInputIsTerminal() {
  return isatty(STDIN_FILENO) == 1;
}

}  // namespace px
