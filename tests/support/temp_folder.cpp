#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace morrowby {
namespace testing {

TempFolder::TempFolder() {
  char pattern[] = "/tmp/morrowby-test-XXXXXX";
  path_ = mkdtemp(pattern);
  setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteWholeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace testing
}  // namespace morrowby
