// Running pxdb in the test process, as the command line would, and checking its errors.
#ifndef PX_TESTS_TOOLS_PXDB_TEST_UTIL_H_
#define PX_TESTS_TOOLS_PXDB_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/pxdb/pxdb.h"

namespace px::test {

// What one run of pxdb gave: its exit code and what it wrote on each stream.
struct PxdbResult {
  int code;
  std::string out;
  std::string err;
};

// Runs pxdb with the arguments (no program name), `input` as its standard input.
inline PxdbResult Pxdb(const std::vector<std::string>& args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int code = pxdb::RunPxdb(args, in, out, err);
  return {code, out.str(), err.str()};
}

// An error is one line beginning with "pxdb: ".
inline void ExpectOneLineError(const PxdbResult& r, const std::string& part) {
  EXPECT_NE(r.code, 0);
  EXPECT_EQ(r.err.rfind("pxdb: ", 0), 0u) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  EXPECT_NE(r.err.find(part), std::string::npos) << r.err;
}

}  // namespace px::test

#endif  // PX_TESTS_TOOLS_PXDB_TEST_UTIL_H_
