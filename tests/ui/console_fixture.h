// A console backend writing to a string, installed for one test.
#ifndef PX_TESTS_UI_CONSOLE_FIXTURE_H_
#define PX_TESTS_UI_CONSOLE_FIXTURE_H_

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ui/console_backend.h"

namespace px::test {

class ConsoleUiTest : public testing::Test {
 protected:
  ConsoleUiTest() : backend_(Options(&out_)), scope_(&backend_) {}

  static ConsoleBackend::Options Options(std::ostringstream* out) {
    ConsoleBackend::Options o;
    o.out = out;
    return o;
  }
  // The lines written so far, and forgets them.
  std::vector<std::string> TakeLines() {
    std::vector<std::string> lines;
    std::istringstream in(out_.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    out_.str("");
    return lines;
  }

  std::ostringstream out_;
  ConsoleBackend backend_;
  ScopedUiBackend scope_;
};

}  // namespace px::test

#endif  // PX_TESTS_UI_CONSOLE_FIXTURE_H_
