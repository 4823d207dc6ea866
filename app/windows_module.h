// The entry of the windows module (morrowby-windows.so), which the program loads with
// dlopen once its greeting has started, so that wx and GTK never delay the sound.
// The module takes the settings, the song list and the greeting from the program
// itself: the program exports its symbols, and the module binds to them.
#pragma once

namespace morrowby {
class Greeting;
}

extern "C" {

// Starts the toolkit and runs the windows' side of the run: the hidden main window,
// the launch button after the greeting, or the Setup window at once when
// `setup_at_once`. Returns when the run has ended: 1, or 0 when there is no display
// (nothing was shown). `startup_id` is the launcher's start-up notification id, or "".
int MorrowbyRunWindows(morrowby::Greeting* greeting, int argc, char** argv,
                       bool setup_at_once, const char* startup_id);

using MorrowbyRunWindowsFunction = int (*)(morrowby::Greeting*, int, char**, bool, const char*);
}
