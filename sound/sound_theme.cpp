// XDG sound theme lookup (a small part of the freedesktop sound theme rules: the
// stereo output profile, theme inheritance one level at a time, no locales).
#include "sound/sound_theme.h"

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

namespace morrowby {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::vector<std::string> DataFolders() {
  std::vector<std::string> folders;
  std::string home = Env("XDG_DATA_HOME");
  if (home.empty() || home[0] != '/') {
    const std::string h = Env("HOME");
    if (!h.empty()) home = h + "/.local/share";
  }
  if (!home.empty()) folders.push_back(home);
  std::string dirs = Env("XDG_DATA_DIRS");
  if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t colon = dirs.find(':', start);
    const std::string dir = dirs.substr(start, colon - start);
    if (!dir.empty() && dir[0] == '/') folders.push_back(dir);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return folders;
}

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The value of `key` in an ini-style file, or empty.
std::string IniValue(const std::string& path, const std::string& key) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string k = line.substr(0, eq);
    while (!k.empty() && (k.back() == ' ' || k.back() == '\t')) k.pop_back();
    if (k != key) continue;
    std::string v = line.substr(eq + 1);
    const std::size_t first = v.find_first_not_of(" \t\"");
    const std::size_t last = v.find_last_not_of(" \t\"\r");
    return first == std::string::npos ? "" : v.substr(first, last - first + 1);
  }
  return "";
}

std::string ChosenTheme() {
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') config = Env("HOME") + "/.config";
  return IniValue(config + "/gtk-3.0/settings.ini", "gtk-sound-theme-name");
}

}  // namespace

bool IsSoundName(const std::string& name) {
  if (name.empty() || name[0] == '.' || name.size() > 255) return false;
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

std::string FindThemeSound(const std::string& name) {
  if (!IsSoundName(name)) return "";
  const std::vector<std::string> folders = DataFolders();
  std::vector<std::string> themes;
  std::string theme = ChosenTheme();
  // Follow the chosen theme's first inherited theme a few steps; freedesktop last.
  for (int depth = 0; depth < 4 && IsSoundName(theme) && theme != "freedesktop"; ++depth) {
    themes.push_back(theme);
    std::string inherits;
    for (const std::string& folder : folders) {
      inherits = IniValue(folder + "/sounds/" + theme + "/index.theme", "Inherits");
      if (!inherits.empty()) break;
    }
    theme = inherits.substr(0, inherits.find(','));
  }
  themes.push_back("freedesktop");
  static const char* const kExtensions[] = {".oga", ".ogg", ".wav"};
  for (const std::string& t : themes)
    for (const std::string& folder : folders)
      for (const char* ext : kExtensions) {
        const std::string path = folder + "/sounds/" + t + "/stereo/" + name + ext;
        if (IsFile(path)) return path;
      }
  return "";
}

}  // namespace morrowby
