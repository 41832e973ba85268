#include <iostream>
#include <string>
#include <vector>

#include "tools/pxdb/pxdb.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  const int code = px::pxdb::RunPxdb(args, std::cin, std::cout, std::cerr);
  std::cout.flush();
  return code;
}
