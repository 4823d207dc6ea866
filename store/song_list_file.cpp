// Loading and saving the program's song list record.
#include "store/song_list_file.h"

#include <cstdio>
#include <cstring>

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

FileResult SaveSongList() {
  if (CurrentListPath.empty()) {
    FileResult none;
    none.reason = "no song list file has been chosen";
    return none;
  }
  const SongListImage image = EncodeSongList(SongList);
  FileResult result = ReplaceFile(
      CurrentListPath, std::string(reinterpret_cast<const char*>(image.data()), image.size()));
  if (!result.ok)
    std::fprintf(stderr, "morrowby: cannot save the song list to %s: %s\n",
                 CurrentListPath.c_str(), result.reason.c_str());
  return result;
}

bool SetCurrentList(const std::string& path) {
  if (path.size() > kMaxPathChars) return false;
  CurrentListPath = path;
  WriteSetting("CurFile", path);
  return true;
}

int CountSongs() { return CountSongs(SongList); }

}  // namespace morrowby
