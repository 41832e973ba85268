// One example command line for each pxdb command, shown at the end of its --help.
#ifndef PX_TOOLS_PXDB_COMMAND_EXAMPLES_H_
#define PX_TOOLS_PXDB_COMMAND_EXAMPLES_H_

#include <string_view>

namespace px::pxdb {

// The example for the command of that name, or nullptr when there is none.
const char* CommandExample(std::string_view command);

}  // namespace px::pxdb

#endif  // PX_TOOLS_PXDB_COMMAND_EXAMPLES_H_
