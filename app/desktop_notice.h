// What the user should know and can act on, shown as a desktop notification
// (org.freedesktop.Notifications over GIO's D-Bus) beside its line on stderr: the
// greeting's faults once, not again at every log-in while they last, and the notice of
// a "Say the Time" that has nothing to say. Each call waits for the notification
// server's answer for a bounded time; callers call after their sound has been made.
// Main thread only.
#pragma once

#include <string>
#include <vector>

#include "store/user_faults.h"

namespace morrowby {

// Whether the session bus is there to ask: its address, or the runtime folder's socket.
// (With neither, GIO would start a bus of its own.)
bool SessionBusThere();

// Shows one notification; false when there is no bus or no server answered in time.
bool ShowDesktopNotice(const UserFault& notice);

// Shows each of the greeting's faults, unless the last greeting showed the same ones
// already: they are remembered in $XDG_STATE_HOME/morrowby/shown-faults
// (~/.local/state/morrowby/shown-faults), a file of the program's own, replaced in
// one step. A greeting with no fault forgets them, so a fault that comes back is
// shown again.
void ShowFaultsOnce(const std::vector<UserFault>& faults);

// The path of that memory, worked out afresh from the environment.
std::string ShownFaultsPath();

}  // namespace morrowby
