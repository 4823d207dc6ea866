// The run's request to stop (SIGTERM, SIGINT or SIGHUP). It is only a flag: whoever
// waits looks at it at least every 50 ms and then gives up what it was waiting for,
// so that a program never ends in the middle of something. Any thread may read it.
#pragma once

namespace morrowby {

// Sets the flag; async-signal-safe.
void RequestStop() noexcept;
bool StopRequested() noexcept;

}  // namespace morrowby
