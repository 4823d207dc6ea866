// SIGTERM, SIGINT and SIGHUP for both programs: the handler only sets the stop flag
// (sound/stop_request.h) and writes a byte to a self-pipe; each program's own loop
// notices and ends in order. A write of a file under way is never cut short. Main
// thread, before any other thread starts.
#pragma once

namespace morrowby {

// Installs the handlers (no SA_RESTART: a blocking wait returns with EINTR). With
// `watch_children` (the greeting) SIGCHLD writes to the same pipe, so that waiting
// there also sees the windows program end; the windows program leaves SIGCHLD to GLib.
void InstallStopSignals(bool watch_children);

// The read end of the self-pipe (non-blocking, close-on-exec); -1 before installing.
int StopSignalFd();

// Reads whatever the pipe holds, so that the next signal wakes its watcher again.
void DrainStopSignalFd();

}  // namespace morrowby
