// Looking at GTK's start-up files without opening them.
#include "app/toolkit_files.h"

#include <sys/stat.h>

#include <vector>

#include "store/paths.h"
#include "store/translation.h"

namespace morrowby {
namespace {

constexpr off_t kMaxBytes = off_t{1} << 20;

// GTK 3's settings files, the user's first, and the user's style sheet.
std::vector<std::string> ToolkitFiles() {
  std::vector<std::string> files;
  const std::string own = ConfigFolder();
  if (!own.empty()) files = {own + "/gtk-3.0/settings.ini", own + "/gtk-3.0/gtk.css"};
  for (const std::string& dir : XdgFolderList("XDG_CONFIG_DIRS", "/etc/xdg"))
    files.push_back(dir + "/gtk-3.0/settings.ini");
  files.push_back("/etc/gtk-3.0/settings.ini");
  return files;
}

}  // namespace

bool ToolkitFilesSafe(std::string* why) {
  for (const std::string& file : ToolkitFiles()) {
    struct stat st;
    if (stat(file.c_str(), &st) != 0) continue;
    if (!S_ISREG(st.st_mode)) {
      *why = TrFormat("%s is not a regular file", file.c_str());
      return false;
    }
    if (st.st_size > kMaxBytes) {
      *why = TrFormat("%s is larger than 1 MiB", file.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace morrowby
