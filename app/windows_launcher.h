// The greeting program's side of the windows program (morrowby-windows): starting it
// beside the greeting with the hand-over pipe as its descriptor kHandOverFd, and
// waiting for its end while passing a stop on to it. Main thread of the greeting.
#pragma once

#include <sys/types.h>

#include <string>

namespace morrowby {

class WindowsLauncher {
 public:
  WindowsLauncher() = default;
  ~WindowsLauncher();
  WindowsLauncher(const WindowsLauncher&) = delete;
  WindowsLauncher& operator=(const WindowsLauncher&) = delete;

  // Starts the windows program found beside this program (a build folder) or in its
  // private folder under the library folder (an installation). `argv0` is handed on,
  // so that the toolkit names the windows as it would name this program's. False,
  // with the reason in `why`, when it cannot be started.
  bool Start(const char* argv0, bool setup_at_once, std::string* why);

  // The write end of the hand-over pipe; -1 when nothing was started.
  int HandOverFd() const { return hand_over_fd_; }

  // Closes the write end and returns once the windows program has ended. A stop
  // request (now or while waiting) is passed on to it as SIGTERM; one that has not
  // ended a second later is killed.
  void WaitForEnd();

 private:
  pid_t child_ = -1;
  int hand_over_fd_ = -1;
};

}  // namespace morrowby
