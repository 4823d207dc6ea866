// Fuzz target: an arbitrary TOLVERA.INI, then reads and a write. A write that
// succeeds must read back exactly and leave the other keys as they were; no value
// may create keys or sections.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "store/settings.h"

using namespace morrowby;

namespace {
std::string Folder() {
  static const std::string folder = [] {
    // On tmpfs, so that the flush of every atomic write costs nothing.
    char pattern[] = "/dev/shm/morrowby-fuzz-XXXXXX";
    const std::string path = mkdtemp(pattern);
    setenv("XDG_CONFIG_HOME", path.c_str(), 1);
    return path;
  }();
  return folder;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = Folder() + "/TOLVERA.INI";
  // The first bytes choose the key and the value to write; the rest is the file.
  const size_t split = size > 0 ? data[0] % (size < 64 ? size : 64) : 0;
  const std::string value(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0),
                          split > 0 ? split - 1 : 0);
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data) + split, static_cast<std::streamsize>(size - split));

  static const char* const kKeys[] = {"HomePath", "CurFile", "DateLine"};
  std::string before[3];
  for (int i = 0; i < 3; ++i) {
    before[i] = ReadSetting(kKeys[i], 4096);
    if (ReadSetting(kKeys[i], 13).size() > 12) std::abort();
  }
  const int k = size > 1 ? data[1] % 3 : 0;
  if (WriteSetting(kKeys[k], value)) {
    if (ReadSetting(kKeys[k], 4096) != value) std::abort();
    for (int i = 0; i < 3; ++i)
      if (i != k && ReadSetting(kKeys[i], 4096) != before[i]) std::abort();
  } else if (ReadSetting(kKeys[k], 4096) != before[k]) {
    std::abort();  // a refused write changed the file
  }
  return 0;
}
