// Finding a named system sound ("service-login", "dialog-warning") in the
// freedesktop sound themes installed under the XDG data folders, starting with the
// theme the user chose in their desktop's settings.
#pragma once

#include <string>

namespace morrowby {

// True when `name` can be a sound-theme name: letters, digits, '.', '-' and '_', not
// starting with a dot, no folder separators.
bool IsSoundName(const std::string& name);

// Where a desktop keeps the user's choice of sound theme, in the order they count.
struct ThemeChoices {
  std::string gsettings;          // org.gnome.desktop.sound theme-name, set by the user
  std::string kde;                // kdeglobals [Sounds] Theme
  std::string gtk;                // gtk-3.0/settings.ini gtk-sound-theme-name
  std::string gsettings_default;  // theme-name as the system sets it, when not "freedesktop"
};

// Reads the choices from GSettings (where the org.gnome.desktop.sound schema is
// installed; no display or session bus is needed) and from the files in
// $XDG_CONFIG_HOME and then $XDG_CONFIG_DIRS.
ThemeChoices ReadThemeChoices();

// The theme that counts: the first choice that names one, else "" (none chosen).
std::string ChosenTheme(const ThemeChoices& choices);

// The file that plays sound `name`, searched in the chosen theme, then in the themes
// it inherits (Inherits=, each in turn, their parents after them), then in
// "freedesktop"; in each, stereo/<name>.oga, .ogg or .wav under $XDG_DATA_HOME/sounds
// and each of $XDG_DATA_DIRS/sounds. Empty when none exists: the caller then tries
// `name` as a file path, and only after that a default sound.
std::string FindThemeSound(const std::string& name);
std::string FindThemeSound(const std::string& name, const std::string& chosen_theme);

}  // namespace morrowby
