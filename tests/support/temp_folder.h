// A scratch folder for one test, removed afterwards, and the settings file pointed
// into it (XDG_CONFIG_HOME), so tests never touch the real user's files.
#pragma once

#include <string>

namespace morrowby {
namespace testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Whole-file helpers for checking what the program wrote.
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);

}  // namespace testing
}  // namespace morrowby
