// The runs asked for on the command line that need no window: --help, --version, the
// log-in entry switched on or off (--autostart), and the date and time now
// (--say-time), played or written to a WAV file. None of them
// starts the toolkit, loads the song list or writes the settings.
#pragma once

#include "app/command_line.h"

namespace morrowby {

// Prints the command line's complaint, if it has one, on stderr. Then, for a run that
// needs no window, runs it and returns true with its exit status in `status`: 0, or 1
// when the --output file cannot be written or --autostart cannot do what it is asked. Returns false for the runs that need the
// toolkit (the greeting and --setup); the caller goes on with those.
bool RunOnDemand(const CommandLine& command, int* status);

}  // namespace morrowby
