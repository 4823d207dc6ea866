// Loading and saving the program's song list record.
#include "store/song_list_file.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "store/settings.h"

namespace morrowby {

SongListRecord SongList;
std::string CurrentListPath;
std::string LastChosenFile;

void ResetSongListState() {
  SongList = SongListRecord();
  CurrentListPath.clear();
  LastChosenFile.clear();
}

void OpenCurrentList() {
  CurrentListPath = ReadSetting("CurFile", kSlotBytes);
  LoadSongList(CurrentListPath);
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
  FileResult result;
  struct stat st;
  if (CurrentListPath.empty()) {
    result.reason = "no song list file has been chosen";
    return result;
  }
  if (origin == SaveOrigin::kRun && stat(CurrentListPath.c_str(), &st) == 0 &&
      S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) > kSongListBytes) {
    result.reason = "it holds " + std::to_string(st.st_size) +
                    " bytes, more than a song list; it is left as it is";
  } else {
    const SongListImage image = EncodeSongList(SongList);
    result = ReplaceFile(CurrentListPath,
                         std::string(reinterpret_cast<const char*>(image.data()), image.size()));
  }
  if (!result.ok)
    std::fprintf(stderr, "morrowby: cannot save the song list to %s: %s\n",
                 CurrentListPath.c_str(), result.reason.c_str());
  return result;
}

bool SetCurrentList(const std::string& path, std::string* reason) {
  if (path.size() > kMaxPathChars) {
    if (reason != nullptr)
      *reason = "the path is longer than " + std::to_string(kMaxPathChars) + " bytes";
    return false;
  }
  CurrentListPath = path;
  return WriteSetting("CurFile", path, reason);
}

int CountSongs() { return CountSongs(SongList); }

}  // namespace morrowby
