// Waiting for a flock until the deadline, on the real clock or a test's.
#include "store/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "store/atomic_file.h"
#include "store/translation.h"

namespace morrowby {
namespace {

// How often a held lock is tried again.
constexpr std::chrono::milliseconds kLockPoll{5};

class RealClock : public LockClock {
 public:
  std::chrono::steady_clock::time_point Now() override { return std::chrono::steady_clock::now(); }
  void Sleep(std::chrono::milliseconds pause) override { std::this_thread::sleep_for(pause); }
};

LockClock* clock_in_use = nullptr;

LockClock& Clock() {
  static RealClock real;
  return clock_in_use != nullptr ? *clock_in_use : real;
}

}  // namespace

void UseLockClock(LockClock* clock) { clock_in_use = clock; }

FileLock::~FileLock() { Release(); }

void FileLock::Release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

FileResult FileLock::Wait(std::chrono::steady_clock::time_point deadline) {
  while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return FileResult::Done();  // no locks here: go on as without
    if (Clock().Now() >= deadline) {
      Release();
      return FileResult::Failure(EWOULDBLOCK,
                                 TrFormat("another copy of Morrowby held it locked for %d s",
                                          static_cast<int>(kLockWait.count() / 1000)));
    }
    Clock().Sleep(kLockPoll);
  }
  return FileResult::Done();
}

FileResult FileLock::LockFolder(const std::string& path) {
  Release();
  const auto deadline = Clock().Now() + kLockWait;
  fd_ = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return FileResult::Failure(errno);
  return Wait(deadline);
}

FileResult FileLock::LockFile(const std::string& path) {
  Release();
  const auto deadline = Clock().Now() + kLockWait;
  while (true) {
    struct stat st, named;
    const FileResult opened = OpenRegularFile(path, &st, &fd_);
    if (!opened.ok) return opened;
    const FileResult locked = Wait(deadline);
    if (!locked.ok) return locked;
    if (stat(path.c_str(), &named) == 0 && named.st_ino == st.st_ino && named.st_dev == st.st_dev)
      return locked;
    Release();
  }
}

}  // namespace morrowby
