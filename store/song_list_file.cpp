// Loading and saving the program's song list record, under an advisory lock on the
// list file while a save reads what it must keep and writes.
#include "store/song_list_file.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "store/atomic_file.h"
#include "store/file_lock.h"
#include "store/settings.h"
#include "store/translation.h"

namespace morrowby {

SongListRecord SongList;
std::string CurrentListPath;
std::string LastChosenFile;

namespace {

FileResult NoListFile() { return FileResult::Failure(ENOENT, Tr("no song list file has been chosen")); }

// Locks the list file at `path`. Only another copy's lock held past the wait stops a
// save; a file that is not there (yet), or cannot be opened to be locked, is left to
// the write itself to take or refuse.
FileResult LockList(FileLock* lock, const std::string& path) {
  const FileResult locked = lock->LockFile(path);
  return locked.error == EWOULDBLOCK ? locked : FileResult::Done();
}

// Takes into SongList the serial position the locked file holds, when it holds one.
void KeepTurnsTaken(const FileLock& lock) {
  SongListImage image{};
  if (lock.fd() >= 0 && pread(lock.fd(), image.data(), image.size(), 0) >=
                            static_cast<ssize_t>(kSerialPositionOffset + 2))
    SongList.SerialPosition = DecodeSongList(image).SerialPosition;
}

// The write itself, with the lock held.
FileResult WriteRecord(const std::string& path, SaveOrigin origin) {
  struct stat st;
  if (origin == SaveOrigin::kRun && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<std::size_t>(st.st_size) > kSongListBytes)
    return FileResult::Failure(EFBIG, TrFormat("it holds %lld bytes, more than a song list; it is "
                                               "left as it is",
                                               static_cast<long long>(st.st_size)));
  const SongListImage image = EncodeSongList(SongList);
  return ReplaceFile(path, std::string(reinterpret_cast<const char*>(image.data()), image.size()));
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat x, y;
  return a == b || (stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
                    x.st_ino == y.st_ino);
}

}  // namespace

void ResetSongListState() {
  SongList = SongListRecord();
  CurrentListPath.clear();
  LastChosenFile.clear();
}

FileResult OpenCurrentList() {
  CurrentListPath = ReadSetting("CurFile", kSlotBytes);
  if (CurrentListPath.empty()) return FileResult::Done();
  return LoadSongList(CurrentListPath);
}

FileResult LoadSongList(const std::string& path) {
  std::string bytes;
  const FileResult read = ReadFilePrefix(path, kSongListBytes, &bytes);
  if (!read.ok) return read;
  SongListImage image = EncodeSongList(SongList);
  std::memcpy(image.data(), bytes.data(), bytes.size());
  SongList = DecodeSongList(image);
  return read;
}

FileResult SaveSongList(SaveOrigin origin) {
  if (CurrentListPath.empty()) return NoListFile();
  FileLock lock;
  const FileResult locked = LockList(&lock, CurrentListPath);
  if (!locked.ok) return locked;
  KeepTurnsTaken(lock);
  return WriteRecord(CurrentListPath, origin);
}

FileResult SaveSongListTo(const std::string& path) {
  if (path.empty()) return NoListFile();
  FileLock lock;
  const FileResult locked = LockList(&lock, path);
  if (!locked.ok) return locked;
  // Another file's position is no turn of this list's.
  if (!CurrentListPath.empty() && SameFile(path, CurrentListPath)) KeepTurnsTaken(lock);
  return WriteRecord(path, SaveOrigin::kUser);
}

FileResult TakeSerialTurn(const std::function<void(SongListRecord&)>& choose) {
  FileLock lock;
  const FileResult locked = CurrentListPath.empty() ? NoListFile() : LockList(&lock, CurrentListPath);
  KeepTurnsTaken(lock);
  choose(SongList);
  if (!locked.ok) return locked;
  return WriteRecord(CurrentListPath, SaveOrigin::kRun);
}

FileResult SetCurrentList(const std::string& path) {
  if (path.size() > kMaxPathChars)
    return FileResult::Failure(ENAMETOOLONG, TrFormat("the path is longer than %zu bytes", kMaxPathChars));
  CurrentListPath = path;
  return WriteSetting("CurFile", path);
}

int CountSongs() { return CountSongs(SongList); }

}  // namespace morrowby
