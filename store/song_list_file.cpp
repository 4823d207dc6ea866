// Loading and saving the program's song list record, under an advisory lock on the
// list file while a save reads what it must keep and writes.
#include "store/song_list_file.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "store/settings.h"
#include "store/user_faults.h"
#include "store/translation.h"

namespace morrowby {

SongListRecord SongList;
std::string CurrentListPath;
std::string LastChosenFile;

namespace {

constexpr auto kLockWait = std::chrono::seconds(2);

// The list file, open and locked. A save replaces the file with a new one, so a lock
// taken on the file a path named a moment ago may be on a file that is gone: the
// path is checked once the lock is held, and the new file locked instead.
class ListFileLock {
 public:
  enum State { kHeld, kNoFile, kBusy };

  explicit ListFileLock(const std::string& path) {
    const auto give_up = std::chrono::steady_clock::now() + kLockWait;
    while (true) {
      struct stat st, named;
      fd_ = path.empty() ? -1 : OpenRegularFile(path, &st);
      if (fd_ < 0) return;  // nothing to lock: there is no list there (yet)
      while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        // A file system without locks: go on as before locks were taken.
        if (errno != EWOULDBLOCK && errno != EINTR) {
          state_ = kHeld;
          return;
        }
        if (std::chrono::steady_clock::now() >= give_up) {
          state_ = kBusy;
          return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      if (stat(path.c_str(), &named) == 0 && named.st_ino == st.st_ino && named.st_dev == st.st_dev) {
        state_ = kHeld;
        return;
      }
      close(fd_);
    }
  }
  ~ListFileLock() {
    if (fd_ >= 0) close(fd_);
  }
  ListFileLock(const ListFileLock&) = delete;
  ListFileLock& operator=(const ListFileLock&) = delete;

  State state() const { return state_; }

  // The serial position the locked file holds; false when it is too short to hold one.
  bool SerialPosition(int16_t* position) const {
    if (state_ != kHeld || fd_ < 0) return false;
    SongListImage image{};
    const ssize_t n = pread(fd_, image.data(), image.size(), 0);
    if (n < static_cast<ssize_t>(kSerialPositionOffset + 2)) return false;
    *position = DecodeSongList(image).SerialPosition;
    return true;
  }

 private:
  int fd_ = -1;
  State state_ = kNoFile;
};

// The save itself, with the lock already held (or not to be had) and the serial
// position already taken from the file.
FileResult SaveLocked(const ListFileLock& lock, SaveOrigin origin) {
  FileResult result;
  struct stat st;
  if (lock.state() == ListFileLock::kBusy) {
    result.reason = Tr("another program is writing it; try again in a moment");
  } else if (origin == SaveOrigin::kRun && stat(CurrentListPath.c_str(), &st) == 0 &&
             S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) > kSongListBytes) {
    result.reason = TrFormat("it holds %lld bytes, more than a song list; it is left as it is",
                             static_cast<long long>(st.st_size));
  } else {
    const SongListImage image = EncodeSongList(SongList);
    result = ReplaceFile(CurrentListPath,
                         std::string(reinterpret_cast<const char*>(image.data()), image.size()));
  }
  if (!result.ok)
    std::fprintf(stderr, Tr("morrowby: cannot save the song list to %s: %s\n"),
                 CurrentListPath.c_str(), result.reason.c_str());
  // The run's own save (a serial turn) has nobody to ask; the user is told at the end.
  if (!result.ok && origin == SaveOrigin::kRun)
    NoteUserFault({Tr("Morrowby cannot save its song list"),
                   TrFormat("%s: %s. The turn of this log-in is not kept, so the next one plays "
                            "the same song.", CurrentListPath.c_str(), result.reason.c_str())});
  return result;
}

}  // namespace

void ResetSongListState() {
  SongList = SongListRecord();
  CurrentListPath.clear();
  LastChosenFile.clear();
}

void OpenCurrentList() {
  CurrentListPath = ReadSetting("CurFile", kSlotBytes);
  if (LoadSongList(CurrentListPath) || CurrentListPath.empty()) return;
  // The list named for log-in cannot be read, so nothing plays: the user is told why.
  struct stat st;
  std::string why;
  const int fd = OpenRegularFile(CurrentListPath, &st, &why);
  if (fd >= 0) {
    close(fd);
    why = Tr("it cannot be read");
  }
  std::fprintf(stderr, Tr("morrowby: cannot read the song list %s: %s\n"), CurrentListPath.c_str(),
               why.c_str());
  NoteUserFault({Tr("Morrowby cannot read its song list"),
                 TrFormat("%s: %s. Nothing was played; open or save a list in Morrowby Setup.",
                          CurrentListPath.c_str(), why.c_str())});
}

bool LoadSongList(const std::string& path) {
  std::string bytes;
  if (!ReadFilePrefix(path, kSongListBytes, &bytes)) return false;
  SongListImage image = EncodeSongList(SongList);
  std::memcpy(image.data(), bytes.data(), bytes.size());
  SongList = DecodeSongList(image);
  return true;
}

FileResult SaveSongList(SaveOrigin origin) {
  if (CurrentListPath.empty()) {
    FileResult none;
    none.reason = Tr("no song list file has been chosen");
    return none;
  }
  const ListFileLock lock(CurrentListPath);
  lock.SerialPosition(&SongList.SerialPosition);
  return SaveLocked(lock, origin);
}

FileResult TakeSerialTurn(const std::function<void(SongListRecord&)>& choose) {
  const ListFileLock lock(CurrentListPath);
  lock.SerialPosition(&SongList.SerialPosition);
  choose(SongList);
  if (CurrentListPath.empty()) {
    FileResult none;
    none.reason = Tr("no song list file has been chosen");
    return none;
  }
  if (lock.state() == ListFileLock::kBusy) {
    FileResult busy;
    busy.reason = Tr("another program held it for 2 s");
    std::fprintf(stderr, Tr("morrowby: the song list %s is locked by another program; this turn is not saved\n"),
                 CurrentListPath.c_str());
    return busy;
  }
  return SaveLocked(lock, SaveOrigin::kRun);
}

bool SetCurrentList(const std::string& path, std::string* reason) {
  if (path.size() > kMaxPathChars) {
    if (reason != nullptr)
      *reason = TrFormat("the path is longer than %zu bytes", kMaxPathChars);
    return false;
  }
  CurrentListPath = path;
  return WriteSetting("CurFile", path, reason);
}

int CountSongs() { return CountSongs(SongList); }

}  // namespace morrowby
