// Path parts, the configuration folder and link resolution under the kernel's rule
// for links in shared folders.
#include "store/paths.h"
#include "store/translation.h"

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace morrowby {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel allows

// Splits `path` into its non-empty parts, in order.
std::vector<std::string> PartsOf(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < path.size()) {
    const std::size_t slash = path.find('/', start);
    const std::size_t end = slash == std::string::npos ? path.size() : slash;
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// Whether the link `link` (already lstat'ed as `st`) in `folder` may be followed.
bool MayFollow(const std::string& folder, const struct stat& link) {
  struct stat dir;
  if (stat(folder.c_str(), &dir) != 0) return true;  // the look-up itself will fail
  const bool shared = (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0;
  return !shared || link.st_uid == geteuid() || link.st_uid == dir.st_uid;
}

}  // namespace

std::string FolderOf(const std::string& path) {
  if (path.empty()) return "";
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ProgramFolder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  const std::string exe(path, static_cast<std::size_t>(n));
  return exe.substr(0, exe.rfind('/') + 1);
}

std::string ConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    const passwd* pw = getpwuid(getuid());
    home = pw != nullptr ? pw->pw_dir : nullptr;
  }
  if (home == nullptr || home[0] == '\0') return "";
  return std::string(home) + "/.config";
}

std::vector<std::string> XdgFolderList(const char* var, const char* fallback) {
  const char* value = std::getenv(var);
  const std::string list = value != nullptr && *value != '\0' ? value : fallback;
  std::vector<std::string> folders;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t colon = list.find(':', start);
    const std::string dir = list.substr(start, colon - start);
    if (!dir.empty() && dir[0] == '/') folders.push_back(dir);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return folders;
}

FileResult ResolveSafely(const std::string& path, std::string* resolved) {
  // `done` is the resolved folder so far (no trailing '/', "" for the root of an
  // absolute path, "." for a relative one); `todo` the parts still to walk.
  std::string done = !path.empty() && path[0] == '/' ? "" : ".";
  std::vector<std::string> todo = PartsOf(path);
  std::reverse(todo.begin(), todo.end());  // the next part is at the back
  int links = 0;
  while (!todo.empty()) {
    const std::string part = todo.back();
    todo.pop_back();
    const std::string folder = done.empty() ? "/" : done;
    const std::string next = done + "/" + part;
    struct stat st;
    if (part == "." || part == ".." || lstat(next.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      // "." and ".." are kept for the kernel to walk; so is a part that does not
      // exist (yet): nothing past it can be a link.
      done = next;
      continue;
    }
    if (!MayFollow(folder, st)) {
      return FileResult::Failure(ELOOP, TrFormat("it is a link that another user put in the shared "
                                                 "folder %s; it is not followed",
                                                 folder.c_str()));
    }
    if (++links > kMaxLinks) {
      return FileResult::Failure(ELOOP, Tr("it passes through too many symbolic links"));
    }
    char target[PATH_MAX];
    const ssize_t n = readlink(next.c_str(), target, sizeof target - 1);
    if (n <= 0) {
      return FileResult::Failure(n < 0 ? errno : ENOENT, Tr("its symbolic link cannot be read"));
    }
    const std::string to(target, static_cast<std::size_t>(n));
    std::vector<std::string> more = PartsOf(to);
    for (auto it = more.rbegin(); it != more.rend(); ++it) todo.push_back(*it);
    if (to[0] == '/') done = "";
  }
  *resolved = done.empty() ? "/" : done;
  return FileResult::Done();
}

}  // namespace morrowby
