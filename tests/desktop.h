// A desktop for the real-window tests: a virtual X server with a small window manager
// (openbox), driven by xdotool the way a user drives a desktop.
#ifndef PX_TESTS_DESKTOP_H_
#define PX_TESTS_DESKTOP_H_

#include <string>
#include <vector>

#include "tests/child_process.h"

namespace px::test {

class Desktop {
 public:
  struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
  };
  static constexpr int kScreenWidth = 1024, kScreenHeight = 768;

  // Starts the server and the window manager; false, with the reason, when either is
  // missing or does not come up (the caller skips its test and prints the reason).
  bool Start(std::string* why);
  // DISPLAY and the settings that keep the toolkit quiet, for the programs started.
  const std::vector<std::string>& env() const { return env_; }
  // One xdotool run; its exit code, its standard output in *out when given.
  int Xdo(std::vector<std::string> args, std::string* out = nullptr) const;
  // Waits for a visible window whose name matches the pattern, activates it (unless told
  // not to: a program busy with its work does not answer) and returns its id ("" when
  // none came within the time).
  std::string WaitWindow(const std::string& name_pattern, double seconds = 30,
                         bool activate = true) const;
  bool GeometryOf(const std::string& window, Geometry* g) const;
  // Presses a key (or a chord such as "alt+o") in the active window.
  void Key(const std::string& key) const;
  void Type(const std::string& text) const;
  // Clicks at a point of the window's client area.
  void Click(const std::string& window, int x, int y) const;

 private:
  ChildProcess server_, manager_;
  std::string xdotool_;
  std::vector<std::string> env_;
};

}  // namespace px::test

#endif  // PX_TESTS_DESKTOP_H_
