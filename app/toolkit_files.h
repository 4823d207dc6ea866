// The desktop's own files that GTK reads as it starts (its settings and the user's
// style sheet), looked at before the toolkit is started: GTK reads them whole and
// waits on a pipe for ever, so one that is not a plain file of a sane size keeps the
// windows from starting at all. Called from the windows program's main thread.
#pragma once

#include <string>

namespace morrowby {

// True when every such file is absent or a regular file of at most 1 MiB; otherwise
// false with `*why` naming the first that is not. Looks only (stat): never opens.
bool ToolkitFilesSafe(std::string* why);

}  // namespace morrowby
