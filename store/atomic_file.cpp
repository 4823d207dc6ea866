// Crash-safe file replacement and bounded, non-blocking reads for the settings file,
// the song list files and the WAV files the program writes.
#include "store/atomic_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "store/paths.h"
#include "store/translation.h"

namespace morrowby {
namespace {

// Every temporary this program names ends in this and six random letters or digits.
constexpr char kMarker[] = ".morrowby-tmp-";
constexpr std::size_t kMarkerBytes = sizeof kMarker - 1;
constexpr std::size_t kRandomBytes = 6;
// A leftover younger than this may belong to a write that is still going on
// somewhere the lock cannot tell (another machine sharing the folder).
constexpr time_t kLeftoverAgeSeconds = 60;

FileResult Failure(int err, const std::string& reason = std::string()) {
  return FileResult::Failure(err, reason);
}

FileResult Success() { return FileResult::Done(); }

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

// Whether `entry` is a temporary name that this program makes.
bool IsOwnTemporary(const std::string& entry) {
  if (entry.size() < 1 + kMarkerBytes + kRandomBytes || entry[0] != '.') return false;
  const std::size_t at = entry.size() - kRandomBytes - kMarkerBytes;
  if (entry.compare(at, kMarkerBytes, kMarker) != 0) return false;
  return std::all_of(entry.end() - kRandomBytes, entry.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// ".<name>.morrowby-tmp-XXXXXX" with fresh random letters, the name cut (at a
// character's start) so that the whole fits in NAME_MAX.
std::string TemporaryName(const std::string& name) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char random[kRandomBytes] = {};
  if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    const unsigned long mix = static_cast<unsigned long>(std::time(nullptr)) ^
                              (static_cast<unsigned long>(getpid()) << 16) ^
                              reinterpret_cast<unsigned long>(&random);
    for (std::size_t i = 0; i < kRandomBytes; ++i) random[i] ^= static_cast<unsigned char>(mix >> (i * 5));
  }
  std::size_t keep = std::min(name.size(), static_cast<std::size_t>(NAME_MAX) - 1 - kMarkerBytes - kRandomBytes);
  while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  std::string temp = "." + name.substr(0, keep) + kMarker;
  for (unsigned char r : random) temp += kLetters[r % (sizeof kLetters - 1)];
  return temp;
}

// Removes what writes of this user's that were cut short left in `folder`.
void SweepLeftovers(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  const time_t now = std::time(nullptr);
  while (const dirent* entry = readdir(dir)) {
    if (!IsOwnTemporary(entry->d_name)) continue;
    const std::string leftover = folder + "/" + entry->d_name;
    const int fd = open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st, named;
    // Locked: a write is going on. The name checked again once locked, so that what
    // goes is the file that was looked at.
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
        now - st.st_mtime >= kLeftoverAgeSeconds && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        lstat(leftover.c_str(), &named) == 0 && named.st_ino == st.st_ino &&
        named.st_dev == st.st_dev)
      unlink(leftover.c_str());
    close(fd);
  }
  closedir(dir);
}

// The file rewritten where it is: for a file of another user's, and for a folder
// that takes no new file. `path` has been resolved: its last part is no link.
FileResult WriteInPlace(const std::string& path, const std::string& content) {
  const int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Failure(errno);
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return Failure(EINVAL, Tr("not a regular file"));
  }
  const off_t size = static_cast<off_t>(content.size());
  int err = 0;
  // The room first, so that a full disk fails the write before any byte has changed.
  if (size > 0 && fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno == ENOSPC) err = ENOSPC;
  if (err == 0) WriteAll(fd, content.data(), content.size(), &err);
  if (err == 0 && ftruncate(fd, size) != 0) err = errno;
  if (err == 0 && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && err == 0) err = errno;
  return err != 0 ? Failure(err) : Success();
}

// Gives the new file `fd` what the old file at `path` (`old`) has beside its bytes
// and mode: its group (a list shared in a group stays shared) and its extended
// attributes, among them its access control list. Security labels are the system's
// to give. False when any of it cannot be had.
bool CarryOver(const std::string& path, const struct stat& old, int fd) {
  struct stat now;
  if (fstat(fd, &now) != 0) return false;
  if (now.st_gid != old.st_gid && fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) return false;
  ssize_t size = llistxattr(path.c_str(), nullptr, 0);
  if (size < 0) return errno == ENOTSUP;
  std::string names(static_cast<std::size_t>(size), '\0');
  size = llistxattr(path.c_str(), &names[0], names.size());
  if (size < 0) return false;
  names.resize(static_cast<std::size_t>(size));
  for (std::size_t at = 0; at < names.size(); at += std::strlen(&names[at]) + 1) {
    const char* attribute = &names[at];
    if (std::strncmp(attribute, "security.", 9) == 0) continue;
    const ssize_t length = lgetxattr(path.c_str(), attribute, nullptr, 0);
    if (length < 0) return false;
    std::string value(static_cast<std::size_t>(length), '\0');
    const ssize_t got = lgetxattr(path.c_str(), attribute, &value[0], value.size());
    if (got < 0 || fsetxattr(fd, attribute, value.data(), static_cast<std::size_t>(got), 0) != 0)
      return false;
  }
  return true;
}

// A new file in `folder` for the content, locked so that no sweep takes it: unnamed
// where the file system allows (`*temp` stays empty), else under a temporary name.
// `mode` is the new file's creation mode (the umask applies). -1 with errno when
// the folder takes no file.
int CreateTemporary(const std::string& folder, const std::string& name, mode_t mode,
                    std::string* temp) {
  temp->clear();
  // The unnamed file is named later through /proc: without /proc, a name at once.
  static const bool proc = access("/proc/self/fd", F_OK) == 0;
  int fd = proc ? open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode) : -1;
  if (!proc) errno = EOPNOTSUPP;
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    for (int attempt = 0; attempt < 20 && fd < 0; ++attempt) {
      *temp = folder + "/" + TemporaryName(name);
      fd = open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) temp->clear();
  }
  if (fd >= 0) flock(fd, LOCK_EX);
  return fd;
}

// Gives the unnamed file `fd` a temporary name in `folder`, for the rename.
bool NameTemporary(int fd, const std::string& folder, const std::string& name,
                   std::string* temp, int* err) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 20; ++attempt) {
    *temp = folder + "/" + TemporaryName(name);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp->c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno != EEXIST) break;
  }
  *err = errno;
  temp->clear();
  return false;
}

}  // namespace

FileResult OpenRegularFile(const std::string& path, struct stat* st, int* fd) {
  *fd = -1;
  if (path.empty()) return Failure(ENOENT, Tr("no file name"));
  std::string resolved;
  const FileResult safe = ResolveSafely(path, &resolved);
  if (!safe.ok) return safe;
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int opened = open(resolved.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (opened < 0) return Failure(errno);
  int err = 0;
  if (fstat(opened, st) != 0)
    err = errno;
  else if (!S_ISREG(st->st_mode))
    err = S_ISDIR(st->st_mode) ? EISDIR : EINVAL;
  if (err == 0) {
    *fd = opened;
    return Success();
  }
  close(opened);
  return err == EINVAL ? Failure(err, Tr("not a regular file")) : Failure(err);
}

FileResult ReplaceFile(const std::string& path_in, const std::string& content) {
  if (path_in.empty()) return Failure(ENOENT, Tr("no file name"));
  std::string path;
  int err = 0;
  const FileResult safe = ResolveSafely(path_in, &path);
  if (!safe.ok) return safe;
  const std::string folder = FolderOf(path), name = NameOf(path);
  bool existed = false;
  mode_t mode = 0666;  // for a new file, less the umask
  struct stat st;
  if (lstat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? Failure(EISDIR) : Failure(EINVAL, Tr("not a regular file"));
    // A read-only file stays as it is, even for a user (root) the system would let
    // write it: the owner marked it so.
    if ((st.st_mode & 0222) == 0) return Failure(EACCES);
    if (access(path.c_str(), W_OK) != 0) return Failure(errno);  // EROFS on a read-only file system
    // Renaming over another user's file would hand them a file of ours, or us one
    // that looks like theirs: their file keeps its owner and its inode.
    if (st.st_uid != geteuid()) return WriteInPlace(path, content);
    // A new file would part the file's hard links: the one file they share is
    // written where it is.
    if (st.st_nlink > 1) return WriteInPlace(path, content);
    existed = true;
    mode = st.st_mode & 0777;
  } else if (errno != ENOENT) {
    return Failure(errno);
  }

  SweepLeftovers(folder);
  std::string temp;
  // An existing file's mode is set once the content is in: 0600 until then.
  const int fd = CreateTemporary(folder, name, existed ? 0600 : mode, &temp);
  if (fd < 0) {
    err = errno;
    if (existed && (err == EACCES || err == EPERM)) return WriteInPlace(path, content);
    return Failure(err);
  }
  bool ok = WriteAll(fd, content.data(), content.size(), &err);
  if (ok && fsync(fd) != 0) ok = false, err = errno;
  // What cannot be carried over is kept by writing the old file in place (below).
  if (ok && existed && !CarryOver(path, st, fd)) ok = false, err = EPERM;
  if (ok && existed && fchmod(fd, mode) != 0) ok = false, err = errno;
  if (ok && temp.empty() && !NameTemporary(fd, folder, name, &temp, &err)) ok = false;
  // Renamed while still open and locked, so no sweep can take it first.
  if (ok && rename(temp.c_str(), path.c_str()) != 0) ok = false, err = errno;
  if (!ok && !temp.empty()) unlink(temp.c_str());
  if (close(fd) != 0 && ok) ok = false, err = errno;
  // A folder that lets files be made but not replaced, or a file whose group or
  // attributes a new file could not have, still lets a writable file be written in
  // place.
  if (!ok && existed && (err == EACCES || err == EPERM)) return WriteInPlace(path, content);
  if (!ok) return Failure(err);
  // Make the rename itself durable.
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return Success();
}

FileResult CreateNewFile(const std::string& path, const std::string& content) {
  const std::string folder = FolderOf(path), name = NameOf(path);
  if (name.empty()) return Failure(ENOENT, Tr("no file name"));
  std::string temp;
  const int fd = CreateTemporary(folder, name, 0666, &temp);
  if (fd < 0) return Failure(errno);
  int err = 0;
  bool ok = WriteAll(fd, content.data(), content.size(), &err);
  if (ok && fsync(fd) != 0) ok = false, err = errno;
  if (ok && temp.empty() && !NameTemporary(fd, folder, name, &temp, &err)) ok = false;
  // A hard link, unlike a rename, fails on a name that is taken.
  if (ok && link(temp.c_str(), path.c_str()) != 0) ok = false, err = errno;
  if (!temp.empty()) unlink(temp.c_str());
  if (close(fd) != 0 && ok) ok = false, err = errno;
  return ok ? Success() : Failure(err);
}

namespace {

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

FileResult ReadFilePrefix(const std::string& path, std::size_t limit, std::string* out) {
  out->clear();
  struct stat st;
  int fd = -1;
  const FileResult opened = OpenRegularFile(path, &st, &fd);
  if (!opened.ok) return opened;
  const bool ok = ReadUpTo(fd, limit, static_cast<std::size_t>(st.st_size), out);
  const int err = errno;
  close(fd);
  if (ok) return Success();
  out->clear();
  return Failure(err);
}

FileResult ReadFileWhole(const std::string& path, std::size_t limit, std::string* out) {
  out->clear();
  struct stat st;
  int fd = -1;
  const FileResult opened = OpenRegularFile(path, &st, &fd);
  if (!opened.ok) return opened;
  // One byte past the limit tells a file that is too large from one that fits.
  const bool ok = ReadUpTo(fd, limit + 1, static_cast<std::size_t>(st.st_size), out);
  const int err = errno;
  close(fd);
  if (!ok || out->size() > limit) {
    out->clear();
    if (!ok) return Failure(err);
    return Failure(EFBIG, limit >= (std::size_t{1} << 20)
                              ? TrFormat("it holds more than %zu MiB", limit >> 20)
                              : TrFormat("it holds more than %zu KiB", limit >> 10));
  }
  return Success();
}

long long FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

FileResult MakeFolders(const std::string& path) {
  if (path.empty()) return Failure(ENOENT, Tr("no file name"));
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? Success() : Failure(ENOTDIR);
  const std::string parent = FolderOf(path);
  if (parent != path && parent != ".") {
    const FileResult made = MakeFolders(parent);
    if (!made.ok) return made;
  }
  return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST ? Success() : Failure(errno);
}

}  // namespace morrowby
