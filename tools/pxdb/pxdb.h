// pxdb: the support staff's tool to look into and repair the tables of an installation.
#ifndef PX_TOOLS_PXDB_PXDB_H_
#define PX_TOOLS_PXDB_PXDB_H_

#include <iosfwd>
#include <string>
#include <vector>

namespace px::pxdb {

// Runs pxdb with the arguments after the program name. Returns the exit code: 0 on
// success, 1 when the command failed, 2 for a command line that does not parse. Every
// failure is one line on err; nothing escapes as an exception.
int RunPxdb(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err);

}  // namespace px::pxdb

#endif  // PX_TOOLS_PXDB_PXDB_H_
