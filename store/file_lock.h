// The one lock of the file code: an advisory flock on a settings folder or a song
// list file, waited for until a deadline and then given up, so that two copies of the
// program never edit one file at once and neither ever waits for long. The clock is a
// seam: tests put one in place that runs no slower than they need.
//
// Thread rule: the program's main thread only (the clock in use is process-wide).
#pragma once

#include <chrono>
#include <string>

#include "store/file_result.h"

namespace morrowby {

// How long a lock is waited for: far longer than any write of the program's takes.
constexpr std::chrono::milliseconds kLockWait{2000};

class LockClock {
 public:
  virtual ~LockClock() = default;
  virtual std::chrono::steady_clock::time_point Now() = 0;
  virtual void Sleep(std::chrono::milliseconds pause) = 0;
};

// Puts `clock` in place of the real one; nullptr goes back to it.
void UseLockClock(LockClock* clock);

// Either lock fails with EWOULDBLOCK once kLockWait has passed with another copy of
// the program holding it. A file system without locks counts as locked. The lock
// goes when the object does (or its process).
class FileLock {
 public:
  FileLock() = default;
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Locks the folder `path`: settings edits lock their folder, since a replaced file
  // is a new one.
  FileResult LockFolder(const std::string& path);

  // Opens and locks the regular file `path` names (links followed as
  // OpenRegularFile follows them). Once locked, the path is checked to name that file
  // still: a save that replaced it meanwhile made a new one, which is locked instead.
  // ENOENT when there is no file there: nothing to lock, and nothing to keep.
  FileResult LockFile(const std::string& path);

  // The locked file or folder, open read-only; -1 when none is held.
  int fd() const { return fd_; }

 private:
  FileResult Wait(std::chrono::steady_clock::time_point deadline);
  void Release();

  int fd_ = -1;
};

}  // namespace morrowby
