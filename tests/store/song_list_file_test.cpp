// Loading and saving the program's song list: short and long files, failed saves that
// must leave the old file alone, and the current-file setting.
#include "store/song_list_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "store/settings.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

namespace morrowby {
namespace {

using testing::FileExists;
using testing::ReadWholeFile;
using testing::WriteWholeFile;

class SongListFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSongListState(); }
  void TearDown() override { ResetSongListState(); }
  std::string Bytes(std::size_t n, char c) { return std::string(n, c); }
  testing::TempFolder folder_;
};

TEST_F(SongListFileTest, ShortFileFillsOnlyTheLeadingBytes) {
  SongList.PlayMode = 2;
  SongList.reserved = 7;
  const std::string path = folder_.File("short.dat");
  std::string slots(810, '\0');
  slots.replace(0, 6, "/a.wav");
  WriteWholeFile(path, slots);
  ASSERT_TRUE(LoadSongList(path));
  EXPECT_EQ(SongList.SlotText(0), "/a.wav");
  EXPECT_EQ(SongList.PlayMode, 2);
  EXPECT_EQ(SongList.reserved, 7);
  WriteWholeFile(path, "");  // an empty file changes nothing
  SongList.SetSlotText(0, "/b");
  ASSERT_TRUE(LoadSongList(path));
  EXPECT_EQ(SongList.SlotText(0), "/b");
}

TEST_F(SongListFileTest, LongFileLoadsItsFirst818Bytes) {
  const std::string path = folder_.File("long.dat");
  std::string content(818, '\0');
  content[814] = 1;
  content += std::string(1000, '\x7f');
  WriteWholeFile(path, content);
  ASSERT_TRUE(LoadSongList(path));
  EXPECT_EQ(SongList.PlayMode, 1);
  EXPECT_EQ(SongList.reserved, 0);
}

TEST_F(SongListFileTest, UnreadableOrOddPathsLeaveTheRecordAlone) {
  SongList.SetSlotText(3, "/kept");
  EXPECT_FALSE(LoadSongList(""));
  EXPECT_FALSE(LoadSongList(folder_.File("missing.dat")));
  EXPECT_FALSE(LoadSongList(folder_.path()));
  const std::string fifo = folder_.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(LoadSongList(fifo));  // must not wait for a writer
  EXPECT_EQ(SongList.SlotText(3), "/kept");
}

TEST_F(SongListFileTest, SaveWritesExactly818BytesAndKeepsReservedWord) {
  const std::string path = folder_.File("list.dat");
  std::string content(818, '\0');
  content[816] = '\x34';
  content[817] = '\x12';
  WriteWholeFile(path, content + "trailing junk");
  CurrentListPath = path;
  ASSERT_TRUE(LoadSongList(path));
  SongList.SetSlotText(0, "/song.wav");
  ASSERT_TRUE(SaveSongList().ok);
  const std::string saved = ReadWholeFile(path);
  ASSERT_EQ(saved.size(), 818u);
  EXPECT_EQ(saved.substr(0, 9), "/song.wav");
  EXPECT_EQ(saved[816], '\x34');
  EXPECT_EQ(saved[817], '\x12');
}

TEST_F(SongListFileTest, FailedSavesWriteNothingAndSayWhy) {
  EXPECT_FALSE(SaveSongList().ok);  // no current file yet

  CurrentListPath = folder_.File("no/such/folder/list.dat");
  FileResult missing = SaveSongList();
  EXPECT_FALSE(missing.ok);
  EXPECT_FALSE(missing.reason.empty());

  const std::string path = folder_.File("readonly.dat");
  WriteWholeFile(path, Bytes(818, 'r'));
  chmod(path.c_str(), 0444);
  CurrentListPath = path;
  EXPECT_FALSE(SaveSongList().ok);
  EXPECT_EQ(ReadWholeFile(path), Bytes(818, 'r'));
}

TEST_F(SongListFileTest, AWritableListInAReadOnlyFolderIsWrittenInPlace) {
  // The list is reached through a link in a writable folder, as a user may keep it.
  const std::string locked = folder_.File("locked");
  std::filesystem::create_directory(locked);
  const std::string list = locked + "/list.dat";
  const std::string link = folder_.File("link.dat");
  WriteWholeFile(list, Bytes(900, 'o'));
  ASSERT_EQ(symlink(list.c_str(), link.c_str()), 0);
  chmod(list.c_str(), 0666);
  chmod(locked.c_str(), 0555);
  chmod(folder_.path().c_str(), 0777);
  SongList.SetSlotText(0, "/in/place.wav");
  FileResult saved, created;
  {
    testing::AsUnprivilegedUser user;
    ASSERT_TRUE(user.ok()) << user.why();
    CurrentListPath = link;
    saved = SaveSongList();
    CurrentListPath = locked + "/new.dat";  // no file to write in place
    created = SaveSongList();
  }
  EXPECT_TRUE(saved.ok) << saved.reason;
  const std::string after = ReadWholeFile(list);
  EXPECT_EQ(after.size(), kSongListBytes);
  EXPECT_EQ(after.substr(0, 14), std::string("/in/place.wav\0", 14));
  EXPECT_FALSE(created.ok);
  EXPECT_FALSE(FileExists(locked + "/new.dat"));
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(locked)) (void)e, ++entries;
  EXPECT_EQ(entries, 1);
}

TEST_F(SongListFileTest, SaveSweepsItsOwnLeftoversOnly) {
  const std::string path = folder_.File("songs.dat");
  // Ours, from writes cut short; then names that only look alike, and the list itself.
  for (const char* name : {"songs.dat.a1B2c3", "songs.dat.zzzzz9"})
    WriteWholeFile(folder_.File(name), "torn");
  const std::vector<std::string> kept = {"songs.dat.abc", "songs.dat.abcdefg", "songs.dat.ab-d_f",
                                         "songs.dat.backup", "other.dat.a1B2c3", "songs.dat"};
  for (const std::string& name : kept) WriteWholeFile(folder_.File(name), "mine");
  CurrentListPath = path;
  ASSERT_TRUE(SaveSongList().ok);
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(folder_.path()))
    left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  std::vector<std::string> expected = kept;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
}

TEST_F(SongListFileTest, SaveCreatesAnOrdinaryWritableFileAndFollowsLinks) {
  const std::string target = folder_.File("real.dat");
  const std::string link = folder_.File("link.dat");
  WriteWholeFile(target, "");
  chmod(target.c_str(), 0640);
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  CurrentListPath = link;
  ASSERT_TRUE(SaveSongList().ok);
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 818);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  CurrentListPath = folder_.File("new.dat");
  ASSERT_TRUE(SaveSongList().ok);
  ASSERT_EQ(stat(CurrentListPath.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_NE(st.st_mode & S_IWUSR, 0u);
}

TEST_F(SongListFileTest, CurrentListComesFromAndGoesToCurFile) {
  const std::string path = folder_.File("mine.dat");
  std::string content(818, '\0');
  content.replace(0, 4, "/s1\0", 4);
  content[814] = 4;
  WriteWholeFile(path, content);
  ASSERT_TRUE(SetCurrentList(path));
  EXPECT_EQ(ReadSetting("CurFile", 81), path);

  ResetSongListState();
  OpenCurrentList();
  EXPECT_EQ(CurrentListPath, path);
  EXPECT_EQ(SongList.SlotText(0), "/s1");
  EXPECT_EQ(SongList.PlayMode, 4);
}

TEST_F(SongListFileTest, PathLongerThanEightyCharactersIsRefusedNotCut) {
  ASSERT_TRUE(SetCurrentList("/kept.dat"));
  EXPECT_TRUE(SetCurrentList("/" + std::string(79, 'p')));
  EXPECT_FALSE(SetCurrentList("/" + std::string(80, 'p')));
  EXPECT_EQ(CurrentListPath, "/" + std::string(79, 'p'));
  EXPECT_EQ(ReadSetting("CurFile", 81), "/" + std::string(79, 'p'));
}

TEST_F(SongListFileTest, CountSongsCountsTheProgramsList) {
  SongList.SetSlotText(0, "/a");
  SongList.SetSlotText(4, "42");
  SongList.SetSlotText(9, "/z");
  EXPECT_EQ(CountSongs(), 2);
  EXPECT_FALSE(FileExists(folder_.File("TOLVERA.INI")));
}

}  // namespace
}  // namespace morrowby
