// What the user set up survives a full disk, a read-only configuration folder and
// a process killed in the middle of saving: the files on disk are always either the
// old or the new complete file, never a torn one.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    if (!mounted_) mount_error_ = std::strerror(errno);
    return mounted_;
  }

  SongListRecord ListWith(const std::string& song, int16_t mode) {
    SongListRecord list;
    for (int i = 0; i < kSlotCount; ++i) list.SetSlotText(i, song + std::to_string(i));
    list.PlayMode = mode;
    return list;
  }

  // Files in the folder beside the list and the settings file.
  int Leftovers() const {
    int count = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder_.path()))
      count += e.path().filename() != "songs.dat" && e.path().filename() != "TOLVERA.INI";
    return count;
  }

  testing::TempFolder folder_;
  std::string mount_point_;
  bool mounted_ = false;
  std::string mount_error_;
};

TEST_F(CrashSafetyTest, FullDiskFailsTheSaveAndKeepsTheOldFiles) {
  if (!MountTmpfs("size=64k")) GTEST_SKIP() << "cannot mount a small file system: " << mount_error_;
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
  if (!MountTmpfs("size=64k,ro"))
    GTEST_SKIP() << "cannot mount a small file system: " << mount_error_;
  setenv("XDG_CONFIG_HOME", mount_point_.c_str(), 1);
  std::string reason;
  EXPECT_FALSE(WriteSetting("DateLine", "yyyyyyyyyyy", &reason));
  EXPECT_FALSE(reason.empty());
  RecordHomePath();  // the start-up step carries on
  EXPECT_EQ(ReadSetting("DateLine", 13), "");
}

// MORROWBY_SOAK_ROUNDS runs more rounds than the usual 20 (`make soak`: 1000) and prints
// how many left a torn file.
TEST_F(CrashSafetyTest, KilledWhileSavingLeavesTheOldOrTheNewFile) {
  const char* soak = std::getenv("MORROWBY_SOAK_ROUNDS");
  const int rounds = soak != nullptr ? std::max(1, std::atoi(soak)) : 20;
  const std::string list_path = folder_.File("songs.dat");
  const SongListRecord a = ListWith("/aaaa/", 1), b = ListWith("/bb/", 3);
  const SongListImage image_a = EncodeSongList(a), image_b = EncodeSongList(b);
  const std::string bytes_a(image_a.begin(), image_a.end()), bytes_b(image_b.begin(), image_b.end());
  auto* saves = static_cast<std::atomic<int>*>(
      mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(saves, MAP_FAILED);
  std::mt19937 random(12345);

  int torn_lists = 0, torn_settings = 0, most_left = 0;
  for (int round = 0; round < rounds; ++round) {
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
    if (on_disk != bytes_a && on_disk != bytes_b) ++torn_lists;
    const std::string cur = ReadSetting("CurFile", 81);
    if (cur != "/list/a.dat" && cur != "/list/b-longer-name.dat") ++torn_settings;
    // Each write sweeps what the cut ones left: at most the list's and the settings'
    // temporary files of this round's cut writes are there.
    most_left = std::max(most_left, Leftovers());
  }
  munmap(saves, sizeof(std::atomic<int>));
  std::printf("%d rounds killed while saving: %d torn list files, %d torn settings files\n", rounds,
              torn_lists, torn_settings);
  EXPECT_EQ(torn_lists, 0);
  EXPECT_EQ(torn_settings, 0);
  EXPECT_LE(most_left, 2);
  // The next saves sweep the last round's.
  CurrentListPath = list_path;
  ASSERT_TRUE(SaveSongList().ok);
  ASSERT_TRUE(WriteSetting("CurFile", "/list/last.dat"));
  EXPECT_EQ(Leftovers(), 0);
}

}  // namespace
}  // namespace morrowby
