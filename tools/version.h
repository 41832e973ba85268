// The version the command-line programs (pxupdate, pxdb, pkzip) print for --version.
#ifndef PX_TOOLS_VERSION_H_
#define PX_TOOLS_VERSION_H_

namespace px {

inline constexpr char kToolsVersion[] = "1.0";

}  // namespace px

#endif  // PX_TOOLS_VERSION_H_
