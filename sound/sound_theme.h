// Finding a named system sound ("service-login", "dialog-warning") in the
// freedesktop sound themes installed under the XDG data folders.
#pragma once

#include <string>
#include <vector>

namespace morrowby {

// True when `name` can be a sound-theme name: letters, digits, '.', '-' and '_', not
// starting with a dot, no folder separators.
bool IsSoundName(const std::string& name);

// The file that plays sound `name`: the user's chosen theme (gtk-sound-theme-name in
// $XDG_CONFIG_HOME/gtk-3.0/settings.ini) and the themes it inherits, then the
// "freedesktop" theme; in each, stereo/<name>.oga, .ogg or .wav under
// $XDG_DATA_HOME/sounds and each of $XDG_DATA_DIRS/sounds. Empty when none exists.
std::string FindThemeSound(const std::string& name);

}  // namespace morrowby
