// The self-pipe and the handler.
#include "app/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

#include "sound/stop_request.h"

namespace morrowby {
namespace {

int pipe_fds[2] = {-1, -1};

void OnSignal(int signal_number) {
  const int saved = errno;
  if (signal_number != SIGCHLD) RequestStop();
  const char byte = 0;
  if (pipe_fds[1] >= 0) (void)!write(pipe_fds[1], &byte, 1);  // a full pipe wakes anyway
  errno = saved;
}

}  // namespace

void InstallStopSignals(bool watch_children) {
  if (pipe_fds[0] < 0 && pipe2(pipe_fds, O_CLOEXEC | O_NONBLOCK) != 0) pipe_fds[0] = pipe_fds[1] = -1;
  struct sigaction action {};
  action.sa_handler = &OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_NOCLDSTOP;
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &action, nullptr);
  if (watch_children) sigaction(SIGCHLD, &action, nullptr);
}

int StopSignalFd() { return pipe_fds[0]; }

void DrainStopSignalFd() {
  char bytes[64];
  while (pipe_fds[0] >= 0 && read(pipe_fds[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace morrowby
