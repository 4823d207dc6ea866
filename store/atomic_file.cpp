// Crash-safe file replacement and bounded, non-blocking reads for the settings file
// and the song list files.
#include "store/atomic_file.h"

#include <algorithm>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morrowby {
namespace {

FileResult Failure(int err) {
  FileResult result;
  result.reason = std::strerror(err);
  result.error = err;
  return result;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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

// Whether `entry` is a temporary file that ReplaceFile made for the file `name`.
bool IsOwnTemporary(const std::string& entry, const std::string& name) {
  constexpr std::size_t kRandom = 6;  // the XXXXXX of the mkostemp pattern
  if (entry.size() != name.size() + 1 + kRandom || entry.compare(0, name.size(), name) != 0 ||
      entry[name.size()] != '.')
    return false;
  const std::string tail = entry.substr(name.size() + 1);
  const auto all = [&tail](int (*test)(int)) {
    return std::all_of(tail.begin(), tail.end(),
                       [test](char c) { return test(static_cast<unsigned char>(c)) != 0; });
  };
  return all(isalnum) && !all(islower) && !all(isupper);
}

// Removes what earlier writes of `path` that were cut short left behind.
void SweepLeftovers(const std::string& path) {
  const std::string folder = FolderOf(path), name = NameOf(path);
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir)) {
    if (!IsOwnTemporary(entry->d_name, name)) continue;
    const std::string leftover = folder + "/" + entry->d_name;
    const int fd = open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
        flock(fd, LOCK_EX | LOCK_NB) == 0)
      unlink(leftover.c_str());
    close(fd);
  }
  closedir(dir);
}

// A new temporary file beside `path`, locked so that no sweep removes it while it is
// written; -1 with errno when the folder takes none.
int CreateTemporary(const std::string& path, std::string* temp) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    *temp = path + ".XXXXXX";
    const int fd = mkostemp(&(*temp)[0], O_CLOEXEC);
    if (fd < 0) return -1;
    // A name the sweep would take for the user's own is not used, so that none of
    // ours is ever left out of a sweep.
    if (!IsOwnTemporary(NameOf(*temp), NameOf(path))) {
      unlink(temp->c_str());
      close(fd);
      continue;
    }
    flock(fd, LOCK_EX);
    // A sweep running at the same moment may have taken it before the lock did.
    struct stat mine, named;
    fstat(fd, &mine);
    if (stat(temp->c_str(), &named) == 0 && named.st_ino == mine.st_ino &&
        named.st_dev == mine.st_dev)
      return fd;
    close(fd);
  }
  errno = EEXIST;
  return -1;
}

// The file rewritten where it is, for a folder that takes no temporary file.
FileResult WriteInPlace(const std::string& path, const std::string& content) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return Failure(errno);
  const off_t size = static_cast<off_t>(content.size());
  int err = 0;
  // The room first, so that a full disk fails the write before any byte has changed.
  if (size > 0 && fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno == ENOSPC) err = ENOSPC;
  if (err == 0) WriteAll(fd, content.data(), content.size(), &err);
  if (err == 0 && ftruncate(fd, size) != 0) err = errno;
  if (err == 0 && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err != 0) return Failure(err);
  FileResult done;
  done.ok = true;
  return done;
}

// Reads up to `limit` bytes from `fd` into `out`; false, with errno, when a read fails.
bool ReadUpTo(int fd, std::size_t limit, std::size_t expected, std::string* out) {
  // Sized by what the file holds, not by the limit: a settings file is tiny.
  out->resize(std::min(expected, limit));
  std::size_t got = 0;
  while (got < limit) {
    if (got == out->size()) out->resize(std::min(limit, out->size() + 65536));
    const ssize_t n = read(fd, &(*out)[got], out->size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  out->resize(got);
  return true;
}

}  // namespace

int OpenRegularFile(const std::string& path, struct stat* st) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  int err = 0;
  if (fstat(fd, st) != 0)
    err = errno;
  else if (!S_ISREG(st->st_mode))
    err = S_ISDIR(st->st_mode) ? EISDIR : EINVAL;
  if (err == 0) return fd;
  close(fd);
  errno = err;
  return -1;
}

FileResult ReplaceFile(const std::string& path_in, const std::string& content) {
  if (path_in.empty()) {
    FileResult none;
    none.reason = "no file name";
    return none;
  }
  const std::string path = ResolveLinks(path_in);
  bool existed = false;
  mode_t mode = 0;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      if (S_ISDIR(st.st_mode)) return Failure(EISDIR);
      FileResult odd;
      odd.reason = "not a regular file";
      return odd;
    }
    // A read-only file stays as it is, even for a user (root) the system would let
    // write it: the owner marked it so.
    if ((st.st_mode & 0222) == 0) return Failure(EACCES);
    if (access(path.c_str(), W_OK) != 0) return Failure(errno);  // EROFS on a read-only file system
    existed = true;
    mode = st.st_mode & 07777;
  } else if (errno != ENOENT) {
    return Failure(errno);
  }

  SweepLeftovers(path);
  std::string temp;
  const int fd = CreateTemporary(path, &temp);
  if (fd < 0) {
    const int err = errno;
    if (existed && (err == EACCES || err == EPERM)) return WriteInPlace(path, content);
    return Failure(err);
  }
  int err = 0;
  bool ok = WriteAll(fd, content.data(), content.size(), &err);
  if (ok && fsync(fd) != 0) ok = false, err = errno;
  if (ok) {
    // mkostemp makes 0600; give the file the old file's mode, or the usual one.
    if (!existed) {
      const mode_t mask = umask(0);
      umask(mask);
      mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
  }
  // Renamed while still open and locked, so no sweep can take it first.
  if (ok && rename(temp.c_str(), path.c_str()) != 0) ok = false, err = errno;
  if (!ok) unlink(temp.c_str());
  if (close(fd) != 0 && ok) ok = false, err = errno;
  // A folder that lets files be made but not replaced (a sticky folder, the file
  // owned by another user) still lets a writable file be written in place.
  if (!ok && existed && (err == EACCES || err == EPERM)) return WriteInPlace(path, content);
  if (!ok) return Failure(err);
  // Make the rename itself durable.
  const int dir = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  FileResult done;
  done.ok = true;
  return done;
}

bool ReadFilePrefix(const std::string& path, std::size_t limit, std::string* out) {
  out->clear();
  if (path.empty()) return false;
  struct stat st;
  const int fd = OpenRegularFile(path, &st);
  if (fd < 0) return false;
  const bool ok = ReadUpTo(fd, limit, static_cast<std::size_t>(st.st_size), out);
  close(fd);
  if (!ok) out->clear();
  return ok;
}

FileResult ReadFileWhole(const std::string& path, std::size_t limit, std::string* out) {
  out->clear();
  if (path.empty()) return Failure(ENOENT);
  struct stat st;
  const int fd = OpenRegularFile(path, &st);
  if (fd < 0) return Failure(errno);
  // One byte past the limit tells a file that is too large from one that fits.
  const bool ok = ReadUpTo(fd, limit + 1, static_cast<std::size_t>(st.st_size), out);
  const int err = errno;
  close(fd);
  if (!ok || out->size() > limit) {
    out->clear();
    if (!ok) return Failure(err);
    FileResult large = Failure(EFBIG);
    large.reason = "it holds more than " + std::to_string(limit >> 20) + " MiB";
    return large;
  }
  FileResult done;
  done.ok = true;
  return done;
}

long long FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
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
