// posix_spawn with the pipe's read end at kHandOverFd, and the wait on the self-pipe.
#include "app/windows_launcher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>
#include <cstring>
#include <vector>

#include "app/hand_over.h"
#include "app/stop_signals.h"
#include "sound/stop_request.h"
#include "store/paths.h"
#include "store/translation.h"

extern char** environ;

namespace morrowby {
namespace {

constexpr char kWindowsProgram[] = "morrowby-windows";
constexpr int kKillAfterMs = 1000;
constexpr int kLookWithoutPipeMs = 50;

std::string FindWindowsProgram() {
  const std::string folder = ProgramFolder();
  for (const std::string& path : {folder + kWindowsProgram,
                                  folder + MORROWBY_WINDOWS_PROGRAM_INSTALLED})
    if (access(path.c_str(), X_OK) == 0) return path;
  return "";
}

}  // namespace

WindowsLauncher::~WindowsLauncher() {
  if (hand_over_fd_ >= 0) close(hand_over_fd_);
}

bool WindowsLauncher::Start(const char* argv0, bool setup_at_once, std::string* why) {
  const std::string path = FindWindowsProgram();
  if (path.empty()) {
    *why = TrFormat("%s is missing", kWindowsProgram);
    return false;
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *why = std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], kHandOverFd);
  // What the greeting ignores or handles is the default again in the windows program.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults, none;
  sigemptyset(&defaults);
  for (int s : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&defaults, s);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setsigmask(&attributes, &none);
  // The toolkit loads beside the sound without taking the processor from it: as a
  // batch job, which never preempts the sound's threads when they wake. The windows
  // program takes the usual policy back once the sound has been heard.
  sched_param batch{};
  posix_spawnattr_setschedpolicy(&attributes, SCHED_BATCH);
  posix_spawnattr_setschedparam(&attributes, &batch);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSCHEDULER);
  std::vector<char*> args = {const_cast<char*>(argv0)};
  if (setup_at_once) args.push_back(const_cast<char*>("--setup"));
  args.push_back(nullptr);
  const int failed = posix_spawn(&child_, path.c_str(), &actions, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(fds[0]);
  if (failed != 0) {
    close(fds[1]);
    child_ = -1;
    *why = path + ": " + std::strerror(failed);
    return false;
  }
  hand_over_fd_ = fds[1];
  return true;
}

void WindowsLauncher::WaitForEnd() {
  if (hand_over_fd_ >= 0) close(hand_over_fd_), hand_over_fd_ = -1;
  if (child_ < 0) return;
  bool told = false;
  for (;;) {
    int status = 0;
    const pid_t ended = waitpid(child_, &status, WNOHANG);
    if (ended == child_ || (ended < 0 && errno != EINTR)) break;
    if (StopRequested() && !told) {
      kill(child_, SIGTERM);
      told = true;
    }
    // SIGCHLD and every stop signal write to the self-pipe, so nothing is missed
    // between the look above and this wait.
    // (Without a self-pipe, which only a full descriptor table denies, look often.)
    pollfd wake{StopSignalFd(), POLLIN, 0};
    const int limit = told ? kKillAfterMs : wake.fd >= 0 ? -1 : kLookWithoutPipeMs;
    const int woke = poll(&wake, wake.fd >= 0 ? 1 : 0, limit);
    DrainStopSignalFd();
    if (woke == 0 && told) kill(child_, SIGKILL);
  }
  child_ = -1;
}

}  // namespace morrowby
