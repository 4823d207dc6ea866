// The user's log-in entry for Morrowby: morrowby.desktop in the XDG autostart folder
// ($XDG_CONFIG_HOME/autostart, or ~/.config/autostart), which GNOME, KDE, Xfce and
// the other desktops run at every log-in.
//
// The folder is the user's, and other programs (and the user) keep entries there, so
// both switches touch nothing but an entry Morrowby made: a regular file whose entry
// is named "Morrowby" and runs a program called morrowby with no arguments (as every
// entry Morrowby has ever written does, the user's own additions to it, such as a
// delay, aside). A link in that name is never followed, and a name taken by anything
// else is left as it is. Called from the program's main thread only.
#pragma once

#include <string>

#include "store/atomic_file.h"

namespace morrowby {

// Full path of the entry, worked out afresh on each call from the environment; ""
// when the user has no configuration folder.
std::string AutostartEntryPath();

// The Exec value that runs `program`: the bare name for a program found on PATH,
// else the absolute path, quoted. False when the path holds what an Exec line cannot
// carry here (a quote, '$', '`', '\\', '%', a control character, or bytes that are
// not UTF-8).
bool ExecValueFor(const std::string& program, bool on_path, std::string* exec);

// Whether `text` is an entry Morrowby made (see above).
bool IsOwnAutostartEntry(const std::string& text);

enum class SwitchOutcome {
  kDone,     // the entry was written, or removed
  kAlready,  // it was already so: an entry of Morrowby's is there, or none is
};

// Writes the entry, running `exec`, unless one of Morrowby's is there already (it is
// kept as the user may have changed it: kAlready, with its text in `*existing`).
// Fails, changing nothing, when the name is taken by a link or by anything else.
FileResult TurnAutostartOn(const std::string& exec, SwitchOutcome* outcome,
                           std::string* existing);

// Removes the entry when it is one of Morrowby's (kAlready when there is none).
// Fails, changing nothing, when the name is taken by a link or by anything else.
FileResult TurnAutostartOff(SwitchOutcome* outcome);

}  // namespace morrowby
