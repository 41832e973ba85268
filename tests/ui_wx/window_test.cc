// The real-window test: under a virtual X server, xdotool types a lower-case path
// into the demo dialog's field and presses the OK accelerator; the field stores it in
// upper case, and the dialog's picture is kept under the build folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/process.h"
#include "tests/test_util.h"

extern char** environ;

namespace px {
namespace {

// A child process, killed and reaped when the object goes.
class Child {
 public:
  Child() = default;
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, int keep_fd) {
    std::vector<std::string> envs;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string s(*e);
      bool replaced = false;
      for (const std::string& mine : env) {
        if (s.substr(0, s.find('=') + 1) == mine.substr(0, mine.find('=') + 1)) replaced = true;
      }
      if (!replaced) envs.push_back(s);
    }
    for (const std::string& mine : env) envs.push_back(mine);
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : envs) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      if (keep_fd < 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 1);
      }
      execve(args[0], args.data(), envp.data());
      _exit(127);
    }
  }
  ~Child() { Kill(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  Child(Child&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }
  Child& operator=(Child&& other) noexcept {
    Kill();
    pid_ = other.pid_;
    other.pid_ = -1;
    return *this;
  }

  // Waits up to `seconds` for the exit; the exit code, or -1 on time-out.
  int Wait(double seconds) {
    for (int i = 0; pid_ > 0 && i < seconds * 100; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(10000);
    }
    return -1;
  }
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    if (Wait(5) < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// Starts Xvfb on a free display; the display number, or -1 when it cannot start.
int StartXvfb(Child* server, std::string* why) {
  const std::string xvfb = FindProgram("Xvfb");
  if (xvfb.empty()) {
    *why = "Xvfb is not installed";
    return -1;
  }
  int fds[2];
  if (pipe(fds) != 0) {
    *why = "no pipe";
    return -1;
  }
  *server = Child({xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                   "-nolisten", "tcp"},
                  {}, fds[1]);
  close(fds[1]);
  struct pollfd p = {fds[0], POLLIN, 0};
  std::string number;
  char c;
  while (poll(&p, 1, 15000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) {
    *why = "Xvfb did not report a display";
    server->Kill();
    return -1;
  }
  return std::atoi(number.c_str());
}

TEST(RealWindowTest, TypedPathIsStoredInUpperCase) {
  Child server;
  std::string why;
  const int display = StartXvfb(&server, &why);
  if (display < 0) GTEST_SKIP() << "Xvfb cannot start: " << why;
  const std::string xdotool = FindProgram("xdotool");
  ASSERT_FALSE(xdotool.empty()) << "xdotool is not installed (scripts/setup.sh installs it)";

  const std::string dir = test::ArtefactDir();
  std::filesystem::create_directories(dir);
  const std::string shot = dir + "/window_demo_dialog.png";
  const std::string result = dir + "/window_demo_result.txt";
  std::filesystem::remove(shot);
  std::filesystem::remove(result);
  const std::vector<std::string> env = {
      "DISPLAY=:" + std::to_string(display), "PX_UI=window",
      std::string("LSAN_OPTIONS=suppressions=") + PX_LSAN_SUPPRESSIONS + ":print_suppressions=0",
      "NO_AT_BRIDGE=1", "GTK_A11Y=none"};
  Child demo({PX_WINDOW_DEMO, shot, result}, env, 1);

  // Wait for the dialog and give it the keyboard; then select the field's text, type
  // over it and press Alt+O. Each step is its own xdotool run: chained key commands
  // would be sent to the window directly, which the toolkit ignores as synthetic.
  auto xdo = [&](std::vector<std::string> args) {
    args.insert(args.begin(), xdotool);
    Child step(args, env, 1);
    return step.Wait(30);
  };
  ASSERT_EQ(xdo({"search", "--sync", "--name", "Window Demo", "windowfocus", "--sync", "%1"}), 0)
      << "the dialog did not come up";
  usleep(300000);
  EXPECT_EQ(xdo({"key", "--clearmodifiers", "ctrl+a"}), 0);
  EXPECT_EQ(xdo({"type", "--delay", "30", "c:\\updates\\pxupd"}), 0);
  EXPECT_EQ(xdo({"key", "--clearmodifiers", "alt+o"}), 0);
  ASSERT_EQ(demo.Wait(60), 0) << "the demo program did not end";

  const std::string text = test::ReadFileBytes(result);
  EXPECT_EQ(text, "1\nC:\\UPDATES\\PXUPD" + std::string(33 - 16, ' ') + "\nsaved\n");
  const std::string png = test::ReadFileBytes(shot);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

}  // namespace
}  // namespace px
