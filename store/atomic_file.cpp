// Crash-safe file replacement and bounded, non-blocking reads for the settings file
// and the song list files.
#include "store/atomic_file.h"

#include <algorithm>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morrowby {
namespace {

std::string Reason(int err) { return std::strerror(err); }

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file a path finally names: symbolic links are followed (also dangling ones, so
// a link to a not-yet-existing file creates that file).
std::string ResolveLinks(std::string path) {
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n <= 0) return path;
    target[n] = '\0';
    path = target[0] == '/' ? std::string(target) : FolderOf(path) + "/" + target;
  }
  return path;
}

bool WriteAll(int fd, const char* data, std::size_t size, int* err) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      *err = errno;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

FileResult ReplaceFile(const std::string& path_in, const std::string& content) {
  FileResult result;
  if (path_in.empty()) {
    result.reason = "no file name";
    return result;
  }
  const std::string path = ResolveLinks(path_in);
  bool existed = false;
  mode_t mode = 0;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      result.reason = S_ISDIR(st.st_mode) ? Reason(EISDIR) : "not a regular file";
      return result;
    }
    // A read-only file stays as it is, even for a user (root) the system would let
    // write it: the owner marked it so.
    if ((st.st_mode & 0222) == 0) {
      result.reason = Reason(EACCES);
      return result;
    }
    if (access(path.c_str(), W_OK) != 0) {
      result.reason = Reason(errno);  // EROFS on a read-only file system
      return result;
    }
    existed = true;
    mode = st.st_mode & 07777;
  } else if (errno != ENOENT) {
    result.reason = Reason(errno);
    return result;
  }

  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(&temp[0]);
  if (fd < 0) {
    result.reason = Reason(errno);
    return result;
  }
  int err = 0;
  bool ok = WriteAll(fd, content.data(), content.size(), &err);
  if (ok && fsync(fd) != 0) ok = false, err = errno;
  if (ok) {
    // mkstemp makes 0600; give the file the old file's mode, or the usual one.
    if (!existed) {
      const mode_t mask = umask(0);
      umask(mask);
      mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
  }
  if (close(fd) != 0 && ok) ok = false, err = errno;
  if (ok && rename(temp.c_str(), path.c_str()) != 0) ok = false, err = errno;
  if (!ok) {
    unlink(temp.c_str());
    result.reason = Reason(err);
    return result;
  }
  // Make the rename itself durable.
  const int dir = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  result.ok = true;
  return result;
}

bool ReadFilePrefix(const std::string& path, std::size_t limit, std::string* out) {
  out->clear();
  if (path.empty()) return false;
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  // Sized by what the file holds, not by the limit: a settings file is tiny.
  const std::size_t expected = std::min<std::size_t>(static_cast<std::size_t>(st.st_size), limit);
  out->resize(expected);
  std::size_t got = 0;
  while (got < limit) {
    if (got == out->size()) out->resize(std::min(limit, out->size() + 4096));
    const ssize_t n = read(fd, &(*out)[got], out->size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  close(fd);
  out->resize(got);
  return true;
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::string parent = FolderOf(path);
  if (parent != path && !MakeFolders(parent)) return false;
  return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace morrowby
