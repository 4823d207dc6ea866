// What the user set up survives a full disk, a read-only configuration folder and
// a process killed in the middle of saving: the files on disk are always either the
// old or the new complete file, never a torn one.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>

#include "store/settings.h"
#include "store/song_list_file.h"
#include "tests/support/temp_folder.h"

namespace morrowby {
namespace {

using testing::ReadWholeFile;
using testing::WriteWholeFile;

class CrashSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSongListState(); }
  void TearDown() override {
    if (mounted_) umount2(mount_point_.c_str(), MNT_DETACH);
    ResetSongListState();
  }

  // A small file system of its own (needs the right to mount, as in CI).
  bool MountTmpfs(const std::string& options) {
    mount_point_ = folder_.File("fs");
    std::filesystem::create_directories(mount_point_);
    mounted_ = mount("tmpfs", mount_point_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    return mounted_;
  }

  SongListRecord ListWith(const std::string& song, int16_t mode) {
    SongListRecord list;
    for (int i = 0; i < kSlotCount; ++i) list.SetSlotText(i, song + std::to_string(i));
    list.PlayMode = mode;
    return list;
  }

  testing::TempFolder folder_;
  std::string mount_point_;
  bool mounted_ = false;
};

TEST_F(CrashSafetyTest, FullDiskFailsTheSaveAndKeepsTheOldFiles) {
  if (!MountTmpfs("size=64k")) GTEST_SKIP() << "cannot mount a small file system here";
  setenv("XDG_CONFIG_HOME", mount_point_.c_str(), 1);
  CurrentListPath = mount_point_ + "/songs.dat";
  SongList = ListWith("/old/", 1);
  ASSERT_TRUE(SaveSongList().ok);
  ASSERT_TRUE(WriteSetting("CurFile", CurrentListPath));
  const std::string old_list = ReadWholeFile(CurrentListPath);
  const std::string old_ini = ReadWholeFile(mount_point_ + "/TOLVERA.INI");

  {  // fill the disk to the last byte
    std::ofstream filler(mount_point_ + "/filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), block.size())) {
    }
  }
  {
    std::ofstream filler(mount_point_ + "/filler2", std::ios::binary);
    while (filler.put('f')) {
    }
  }
  SongList = ListWith("/new/", 2);
  const FileResult saved = SaveSongList();
  EXPECT_FALSE(saved.ok);
  EXPECT_NE(saved.reason.find("space"), std::string::npos) << saved.reason;
  EXPECT_FALSE(WriteSetting("CurFile", "/somewhere/else/entirely.dat"));
  EXPECT_EQ(ReadWholeFile(CurrentListPath), old_list);
  EXPECT_EQ(ReadWholeFile(mount_point_ + "/TOLVERA.INI"), old_ini);
  EXPECT_EQ(SongList.SlotText(0), "/new/0");  // nothing in memory is lost either
}

TEST_F(CrashSafetyTest, ReadOnlyConfigurationFolderIsReportedNotFatal) {
  if (!MountTmpfs("size=64k,ro")) GTEST_SKIP() << "cannot mount a small file system here";
  setenv("XDG_CONFIG_HOME", mount_point_.c_str(), 1);
  std::string reason;
  EXPECT_FALSE(WriteSetting("DateLine", "yyyyyyyyyyy", &reason));
  EXPECT_FALSE(reason.empty());
  RecordHomePath();  // the start-up step carries on
  EXPECT_EQ(ReadSetting("DateLine", 13), "");
}

TEST_F(CrashSafetyTest, KilledWhileSavingLeavesTheOldOrTheNewFile) {
  const std::string list_path = folder_.File("songs.dat");
  const SongListRecord a = ListWith("/aaaa/", 1), b = ListWith("/bb/", 3);
  const SongListImage image_a = EncodeSongList(a), image_b = EncodeSongList(b);
  const std::string bytes_a(image_a.begin(), image_a.end()), bytes_b(image_b.begin(), image_b.end());
  auto* saves = static_cast<std::atomic<int>*>(
      mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(saves, MAP_FAILED);
  std::mt19937 random(12345);

  for (int round = 0; round < 20; ++round) {
    saves->store(0);
    const int kill_after = 1 + static_cast<int>(random() % 40);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      CurrentListPath = list_path;
      for (int i = 0;; ++i) {
        SongList = (i % 2 == 0) ? a : b;
        SaveSongList();
        WriteSetting("CurFile", (i % 2 == 0) ? "/list/a.dat" : "/list/b-longer-name.dat");
        saves->fetch_add(1);
      }
    }
    while (saves->load() < kill_after) {
      int status = 0;
      if (waitpid(child, &status, WNOHANG) == child) FAIL() << "the saving process died";
      sched_yield();
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    const std::string on_disk = ReadWholeFile(list_path);
    EXPECT_TRUE(on_disk == bytes_a || on_disk == bytes_b) << "torn list file, round " << round;
    const std::string cur = ReadSetting("CurFile", 81);
    EXPECT_TRUE(cur == "/list/a.dat" || cur == "/list/b-longer-name.dat") << "round " << round;
  }
  munmap(saves, sizeof(std::atomic<int>));
  // At most the two temporary files of the writes that were cut short stay behind.
  int leftovers = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder_.path()))
    leftovers += e.path().filename() != "songs.dat" && e.path().filename() != "TOLVERA.INI";
  EXPECT_LE(leftovers, 2 * 20);
}

}  // namespace
}  // namespace morrowby
