// XDG sound theme lookup (a small part of the freedesktop sound theme rules: the
// stereo output profile, theme inheritance, no locales) and the user's chosen theme
// as GNOME, KDE Plasma and GTK keep it.
#include "sound/sound_theme.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

#include <glib.h>
#include <sys/stat.h>

#include "sound/gsettings_key.h"
#include "store/atomic_file.h"
#include "store/paths.h"
#include "store/translation.h"

namespace morrowby {
namespace {

constexpr char kFallbackTheme[] = "freedesktop";
// Desktop settings and theme index files are a few kilobytes.
constexpr std::size_t kMaxDesktopFileBytes = std::size_t{1} << 20;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// `first` (when it is not empty), then each absolute folder of the colon-separated
// `dirs_var` (or `default_dirs` when that is empty).
std::vector<std::string> XdgFolders(const std::string& first, const char* dirs_var,
                                    const char* default_dirs) {
  std::vector<std::string> folders;
  if (!first.empty()) folders.push_back(first);
  for (const std::string& dir : XdgFolderList(dirs_var, default_dirs)) folders.push_back(dir);
  return folders;
}

std::vector<std::string> DataFolders() {
  std::string home = Env("XDG_DATA_HOME");
  if (home.empty() || home[0] != '/') home = Env("HOME").empty() ? "" : Env("HOME") + "/.local/share";
  return XdgFolders(home, "XDG_DATA_DIRS", "/usr/local/share:/usr/share");
}

std::vector<std::string> ConfigFolders() {
  return XdgFolders(ConfigFolder(), "XDG_CONFIG_DIRS", "/etc/xdg");
}

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Trimmed(const std::string& text, const char* blanks) {
  const std::size_t first = text.find_first_not_of(blanks);
  const std::size_t last = text.find_last_not_of(blanks);
  return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// The value of `key` in group `group` of the key file at `path` (GLib's format, which
// GTK's settings.ini, KDE's kdeglobals and index.theme share), or empty; quotes and
// blanks around it are dropped. The file is read through the store's opener, bounded:
// a pipe, a device, a folder or a huge file in its place is skipped with one line on
// stderr, never waited on; one GLib cannot parse gives nothing.
std::string KeyFileValue(const std::string& path, const char* group, const char* key) {
  std::string text;
  const FileResult read = ReadFileWhole(path, kMaxDesktopFileBytes, &text);
  if (!read.ok) {
    if (read.error != ENOENT && read.error != ENOTDIR)
      std::fprintf(stderr, Tr("morrowby: %s skipped: %s\n"), path.c_str(), read.reason.c_str());
    return "";
  }
  GKeyFile* file = g_key_file_new();
  std::string value;
  gchar* raw = nullptr;
  if (g_key_file_load_from_data(file, text.data(), text.size(), G_KEY_FILE_NONE, nullptr))
    raw = g_key_file_get_value(file, group, key, nullptr);
  if (raw != nullptr) value = Trimmed(raw, " \t\"");
  g_free(raw);
  g_key_file_free(file);
  return value;
}

// The first of the config folders whose file holds the key.
std::string ConfigValue(const std::string& file, const char* group, const char* key) {
  for (const std::string& folder : ConfigFolders()) {
    const std::string value = KeyFileValue(folder + "/" + file, group, key);
    if (!value.empty()) return value;
  }
  return "";
}

std::string VariantText(GVariant* value) {
  if (value == nullptr) return "";
  std::string text;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) text = g_variant_get_string(value, nullptr);
  g_variant_unref(value);
  return text;
}

// GNOME's choice.
void ReadGSettings(ThemeChoices* choices) {
  GVariant *user, *by_default;
  if (!ReadGSettingsKey("org.gnome.desktop.sound", "theme-name", G_VARIANT_TYPE_STRING, &user,
                        &by_default))
    return;
  choices->gsettings = VariantText(user);
  const std::string by_system = VariantText(by_default);
  if (by_system != kFallbackTheme) choices->gsettings_default = by_system;
}

// The themes `theme` inherits, as its index.theme lists them.
std::vector<std::string> Parents(const std::string& theme, const std::vector<std::string>& folders) {
  std::vector<std::string> parents;
  for (const std::string& folder : folders) {
    const std::string list = KeyFileValue(folder + "/sounds/" + theme + "/index.theme", "Sound Theme", "Inherits");
    if (list.empty()) continue;
    std::size_t start = 0;
    while (start <= list.size()) {
      const std::size_t comma = list.find(',', start);
      parents.push_back(Trimmed(list.substr(start, comma - start), " \t"));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    break;
  }
  return parents;
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

ThemeChoices ReadThemeChoices() {
  ThemeChoices choices;
  ReadGSettings(&choices);
  choices.kde = ConfigValue("kdeglobals", "Sounds", "Theme");
  choices.gtk = ConfigValue("gtk-3.0/settings.ini", "Settings", "gtk-sound-theme-name");
  return choices;
}

std::string ChosenTheme(const ThemeChoices& choices) {
  // A system-wide GSettings default (a distribution's own theme) counts only when no
  // desktop holds a choice of the user's.
  for (const std::string* theme :
       {&choices.gsettings, &choices.kde, &choices.gtk, &choices.gsettings_default})
    if (IsSoundName(*theme)) return *theme;
  return "";
}

std::string FindThemeSound(const std::string& name) {
  // A path needs no theme: the desktop's settings are not even read for it.
  if (!IsSoundName(name)) return "";
  return FindThemeSound(name, ChosenTheme(ReadThemeChoices()));
}

std::string FindThemeSound(const std::string& name, const std::string& chosen_theme) {
  if (!IsSoundName(name)) return "";
  const std::vector<std::string> folders = DataFolders();
  // The chosen theme and everything it inherits, nearest first; freedesktop last.
  std::vector<std::string> themes;
  std::set<std::string> seen{kFallbackTheme};
  if (IsSoundName(chosen_theme) && seen.insert(chosen_theme).second) themes.push_back(chosen_theme);
  for (std::size_t i = 0; i < themes.size() && themes.size() < 32; ++i)
    for (const std::string& parent : Parents(themes[i], folders))
      if (IsSoundName(parent) && seen.insert(parent).second) themes.push_back(parent);
  themes.push_back(kFallbackTheme);
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
