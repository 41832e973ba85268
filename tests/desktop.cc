#include "tests/desktop.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "runtime/process.h"
#include "tests/test_util.h"

namespace px::test {

bool Desktop::Start(std::string* why) {
  xdotool_ = FindProgram("xdotool");
  const std::string openbox = FindProgram("openbox");
  if (xdotool_.empty() || openbox.empty()) {
    *why = std::string(xdotool_.empty() ? "xdotool" : "openbox") +
           " is not installed (scripts/setup.sh installs it)";
    return false;
  }
  const int display = StartXvfb(&server_, why);
  if (display < 0) return false;
  env_ = {"DISPLAY=:" + std::to_string(display), "PX_UI=window", "NO_AT_BRIDGE=1", "GTK_A11Y=none"};
#ifdef PX_LSAN_SUPPRESSIONS
  env_.push_back(std::string("LSAN_OPTIONS=suppressions=") + PX_LSAN_SUPPRESSIONS +
                 ":print_suppressions=0");
#endif
  manager_ = ChildProcess({openbox, "--sm-disable"}, env_, "/");
  // The window manager is up once it has made its own window.
  for (int i = 0; i < 100; ++i) {
    if (Xdo({"search", "--class", "openbox"}) == 0) return true;
    usleep(100000);
  }
  *why = "openbox did not start";
  return false;
}

int Desktop::Xdo(std::vector<std::string> args, std::string* out) const {
  args.insert(args.begin(), xdotool_);
  char name[] = "/tmp/px-xdo-XXXXXX";
  const int fd = mkstemp(name);
  if (fd >= 0) close(fd);
  const int code = RunProgram(args, env_, "", name, 30);
  if (out != nullptr) *out = ReadFileBytes(name);
  std::filesystem::remove(name);
  return code;
}

std::string Desktop::WaitWindow(const std::string& name_pattern, double seconds,
                                bool activate) const {
  for (int i = 0; i < seconds * 10; ++i) {
    std::string out;
    if (Xdo({"search", "--onlyvisible", "--name", name_pattern}, &out) == 0 && !out.empty()) {
      const std::string id = out.substr(0, out.find('\n'));
      if (activate) {
        Xdo({"windowactivate", "--sync", id});
        usleep(200000);
      }
      return id;
    }
    usleep(100000);
  }
  return "";
}

bool Desktop::GeometryOf(const std::string& window, Geometry* g) const {
  std::string out;
  if (Xdo({"getwindowgeometry", "--shell", window}, &out) != 0) return false;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const int value = std::atoi(line.c_str() + eq + 1);
    if (key == "WIDTH") g->width = value;
    if (key == "HEIGHT") g->height = value;
  }
  // The position given with the size counts a window manager's frame twice; the
  // pointer put on the window's corner tells where its client area really is.
  if (Xdo({"mousemove", "--window", window, "0", "0"}) != 0) return false;
  usleep(100000);
  if (Xdo({"getmouselocation", "--shell"}, &out) != 0) return false;
  lines = std::istringstream(out);
  while (std::getline(lines, line)) {
    if (line.rfind("X=", 0) == 0) g->x = std::atoi(line.c_str() + 2);
    if (line.rfind("Y=", 0) == 0) g->y = std::atoi(line.c_str() + 2);
  }
  return g->width > 0;
}

// Each step is its own xdotool run: chained key commands would be sent to the window
// directly, which the toolkit ignores as synthetic.
void Desktop::Key(const std::string& key) const {
  Xdo({"key", "--clearmodifiers", key});
  usleep(150000);
}

void Desktop::Type(const std::string& text) const {
  Xdo({"type", "--delay", "30", text});
  usleep(150000);
}

void Desktop::Click(const std::string& window, int x, int y) const {
  Xdo({"mousemove", "--window", window, std::to_string(x), std::to_string(y)});
  Xdo({"click", "1"});
  usleep(200000);
}

}  // namespace px::test
