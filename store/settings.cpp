// TOLVERA.INI, read and edited in place one key at a time. Nothing is cached: each
// call reads the file afresh, so the stored value is always the one on disk.
#include "store/settings.h"

#include <cerrno>
#include <unistd.h>

#include "store/atomic_file.h"
#include "store/file_lock.h"
#include "store/paths.h"
#include "store/settings_text.h"
#include "store/translation.h"

namespace morrowby {
namespace {

constexpr const char* kSection = "Morrowby";
constexpr const char* kFileName = "TOLVERA.INI";
// A settings file is a few hundred bytes. One past this is refused, neither read in
// part nor written, rather than risk losing what a partial read would leave out.
constexpr std::size_t kMaxSettingsBytes = std::size_t{64} << 20;

// The file's bytes (empty when there is none). Fails when the file is there but could
// not be taken in whole: it could not be read, it is too large, or it holds a NUL
// byte (readers stop there). A write must then leave it alone.
FileResult Load(const std::string& path, std::string* text) {
  const FileResult read = ReadFileWhole(path, kMaxSettingsBytes, text);
  if (!read.ok && read.error != ENOENT)
    return FileResult::Failure(read.error, TrFormat("the file could not be read whole (%s); it is "
                                                    "left as it is",
                                                    read.reason.c_str()));
  if (text->find('\0') != std::string::npos)
    return FileResult::Failure(EINVAL, Tr("the file holds a NUL byte; it is left as it is"));
  return FileResult::Done();
}

}  // namespace

std::string SettingsFilePath() {
  const std::string folder = ConfigFolder();
  return folder.empty() ? "" : folder + "/" + kFileName;
}

std::string ReadSetting(const std::string& key, std::size_t room) {
  if (room == 0) return std::string();
  std::string text, value;
  // What could be read is used; the text stops at a NUL byte.
  ReadFileWhole(SettingsFilePath(), kMaxSettingsBytes, &text);
  LookUpSetting(text, kSection, key, &value);
  if (value.size() > room - 1) value.resize(room - 1);
  return value;
}

FileResult WriteSetting(const std::string& key, const std::string& value) {
  if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos ||
      key.empty() || key.find_first_of(std::string("\r\n\0=[]", 6)) != std::string::npos)
    return FileResult::Failure(EINVAL, Tr("the value holds a line break"));
  const std::string folder = ConfigFolder();
  if (folder.empty())
    return FileResult::Failure(ENOENT, Tr("there is no configuration folder: neither "
                                          "XDG_CONFIG_HOME nor HOME is set, and the user has no "
                                          "home folder"));
  FileResult done = MakeFolders(folder);
  if (!done.ok)
    return FileResult::Failure(done.error, TrFormat("the folder %s cannot be made", folder.c_str()));
  // The folder is locked, not the file: a replaced file is a new one.
  FileLock lock;
  done = lock.LockFolder(folder);
  if (!done.ok) return done;
  const std::string path = SettingsFilePath();
  std::string before, stored;
  done = Load(path, &before);
  if (!done.ok) return done;
  if (LookUpSetting(before, kSection, key, &stored) && stored == value) return done;
  return ReplaceFile(path, EditSetting(before, kSection, key, value));
}

FileResult RecordHomePath() {
  // The key is read as "Homepath": the file's own spelling does not matter.
  const std::string stored = ReadSetting("Homepath", 81);
  char buffer[4096];
  const std::string folder = getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
  // A value that is already there is not written again.
  if (!stored.empty() && stored == folder) return FileResult::Done();
  return WriteSetting("HomePath", folder);
}

}  // namespace morrowby
