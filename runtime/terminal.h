// Whether the program talks to a person at a terminal.
#ifndef PX_RUNTIME_TERMINAL_H_
#define PX_RUNTIME_TERMINAL_H_

namespace px {

// True when standard input is a terminal (on Windows: a console).
bool StandardInputIsTerminal();

}  // namespace px

#endif  // PX_RUNTIME_TERMINAL_H_
