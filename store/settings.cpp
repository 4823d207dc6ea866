// TOLVERA.INI, read and edited in place one key at a time. Nothing is cached: each
// call reads the file afresh, so the stored value is always the one on disk.
#include "store/settings.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

#include "store/atomic_file.h"
#include "store/paths.h"
#include "store/settings_text.h"
#include "store/user_faults.h"
#include "store/translation.h"

namespace morrowby {
namespace {

constexpr const char* kSection = "Morrowby";
constexpr const char* kFileName = "TOLVERA.INI";
// A settings file is a few hundred bytes. One past this is refused, neither read in
// part nor written, rather than risk losing what a partial read would leave out.
constexpr std::size_t kMaxSettingsBytes = std::size_t{64} << 20;
// How long a write waits for another copy of the program to finish its own.
constexpr auto kLockWait = std::chrono::seconds(2);

// The configuration folder, locked for one read-and-edit of the settings file, so
// that two copies of the program writing different keys at once both keep theirs.
// The folder is locked, not the file: a replaced file is a new one. Given up after
// kLockWait (the write then goes ahead unlocked: a lost race beats a lost setting).
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder)
      : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) return;
    const auto give_up = std::chrono::steady_clock::now() + kLockWait;
    while (flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK &&
           std::chrono::steady_clock::now() < give_up)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~FolderLock() {
    if (fd_ >= 0) close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

// The file's bytes (empty when there is none). False, with the reason, when the
// file is there but could not be taken in whole: it could not be read, it is too
// large, or it holds a NUL byte (readers stop there). A write must then leave it alone.
bool Load(std::string* text, std::string* why) {
  const FileResult read = ReadFileWhole(SettingsFilePath(), kMaxSettingsBytes, text);
  if (!read.ok && read.error != ENOENT) {
    *why = TrFormat("the file could not be read whole (%s); it is left as it is",
                    read.reason.c_str());
    return false;
  }
  if (text->find('\0') != std::string::npos) {
    *why = Tr("the file holds a NUL byte; it is left as it is");
    return false;
  }
  return true;
}

}  // namespace

std::string SettingsFilePath() { return ConfigFolder() + "/" + kFileName; }

std::string ReadSetting(const std::string& key, std::size_t room) {
  if (room == 0) return std::string();
  std::string text, value;
  // What could be read is used; the text stops at a NUL byte.
  ReadFileWhole(SettingsFilePath(), kMaxSettingsBytes, &text);
  LookUpSetting(text, kSection, key, &value);
  if (value.size() > room - 1) value.resize(room - 1);
  return value;
}

bool WriteSetting(const std::string& key, const std::string& value, std::string* reason) {
  auto fail = [&](const std::string& why) {
    if (reason != nullptr) *reason = why;
    std::fprintf(stderr, Tr("morrowby: cannot store %s in %s: %s\n"), key.c_str(),
                 SettingsFilePath().c_str(), why.c_str());
    NoteUserFault({Tr("Morrowby cannot save its settings"),
                   TrFormat("%s: %s.", SettingsFilePath().c_str(), why.c_str())});
    return false;
  };
  if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos ||
      key.empty() || key.find_first_of(std::string("\r\n\0=[]", 6)) != std::string::npos)
    return fail(Tr("the value holds a line break"));

  const std::string folder = ConfigFolder();
  if (!MakeFolders(folder)) return fail(TrFormat("the folder %s cannot be made", folder.c_str()));
  const FolderLock lock(folder);
  std::string before, why, stored;
  if (!Load(&before, &why)) return fail(why);
  if (LookUpSetting(before, kSection, key, &stored) && stored == value) return true;
  const FileResult written = ReplaceFile(SettingsFilePath(), EditSetting(before, kSection, key, value));
  if (!written.ok) return fail(written.reason);
  return true;
}

void RecordHomePath() {
  // The key is read as "Homepath": the file's own spelling does not matter.
  std::string stored = ReadSetting("Homepath", 81);
  char buffer[4096];
  const std::string folder = getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
  if (stored.empty() || stored != folder) {
    stored = folder;
    // A write that failed would fail again: one notice is enough.
    if (!WriteSetting("HomePath", stored)) return;
  }
  WriteSetting("HomePath", stored);
}

}  // namespace morrowby
