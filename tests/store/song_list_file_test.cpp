// Loading and saving the program's song list: short and long files, failed saves that
// must leave the old file alone, the current-file setting, and the files of others:
// their names, their owners, their links, and the turns other greetings take.
#include "store/song_list_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "store/file_lock.h"
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
  SongList.PlayMode = PlayMode{2};
  SongList.reserved = 7;
  const std::string path = folder_.File("short.dat");
  std::string slots(810, '\0');
  slots.replace(0, 6, "/a.wav");
  WriteWholeFile(path, slots);
  ASSERT_TRUE(LoadSongList(path).ok);
  EXPECT_EQ(SongList.SlotText(0), "/a.wav");
  EXPECT_EQ(SongList.PlayMode, PlayMode{2});
  EXPECT_EQ(SongList.reserved, 7);
  WriteWholeFile(path, "");  // an empty file changes nothing
  SongList.SetSlotText(0, "/b");
  ASSERT_TRUE(LoadSongList(path).ok);
  EXPECT_EQ(SongList.SlotText(0), "/b");
}

TEST_F(SongListFileTest, LongFileLoadsItsFirst818Bytes) {
  const std::string path = folder_.File("long.dat");
  std::string content(818, '\0');
  content[814] = 1;
  content += std::string(1000, '\x7f');
  WriteWholeFile(path, content);
  ASSERT_TRUE(LoadSongList(path).ok);
  EXPECT_EQ(SongList.PlayMode, PlayMode{1});
  EXPECT_EQ(SongList.reserved, 0);
}

TEST_F(SongListFileTest, UnreadableOrOddPathsLeaveTheRecordAlone) {
  SongList.SetSlotText(3, "/kept");
  EXPECT_FALSE(LoadSongList("").ok);
  EXPECT_FALSE(LoadSongList(folder_.File("missing.dat")).ok);
  EXPECT_FALSE(LoadSongList(folder_.path()).ok);
  const std::string fifo = folder_.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(LoadSongList(fifo).ok);  // must not wait for a writer
  EXPECT_EQ(SongList.SlotText(3), "/kept");
}

TEST_F(SongListFileTest, SaveWritesExactly818BytesAndKeepsReservedWord) {
  const std::string path = folder_.File("list.dat");
  std::string content(818, '\0');
  content[816] = '\x34';
  content[817] = '\x12';
  WriteWholeFile(path, content + "trailing junk");
  CurrentListPath = path;
  ASSERT_TRUE(LoadSongList(path).ok);
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

// Only hidden, marked temporaries of this user's that no write holds and that are
// over a minute old are ours to remove; everything else in the folder is the user's
// or another program's, whatever it is called.
TEST_F(SongListFileTest, SaveSweepsOnlyItsOwnStaleMarkedLeftovers) {
  const std::string path = folder_.File("songs.dat");
  struct Planted {
    const char* name;
    bool stale;       // backdated two minutes
    bool locked;      // a write is going on
    bool other_user;  // belongs to nobody
    bool swept;
  };
  const Planted planted[] = {
      {".songs.dat.morrowby-tmp-a1B2c3", true, false, false, true},
      {".other.dat.morrowby-tmp-zzzzz9", true, false, false, true},
      {".songs.dat.morrowby-tmp-Young1", false, false, false, false},
      {".songs.dat.morrowby-tmp-Held01", true, true, false, false},
      {".songs.dat.morrowby-tmp-Nobody", true, false, true, false},
      {"songs.dat.Backup", true, false, false, false},
      {"songs.dat.241208", true, false, false, false},
      {"songs.dat.bak001", true, false, false, false},
      {"songs.dat.Old123", true, false, false, false},
      {"songs.dat.a1B2c3", true, false, false, false},
      {"songs.dat.morrowby-tmp-a1B2c3", true, false, false, false},
      {".songs.dat.morrowby-tmp-a1B2", true, false, false, false},
  };
  std::vector<int> held;
  for (const Planted& p : planted) {
    const std::string file = folder_.File(p.name);
    WriteWholeFile(file, "torn");
    if (p.stale) {
      const struct timeval old[2] = {{time(nullptr) - 120, 0}, {time(nullptr) - 120, 0}};
      utimes(file.c_str(), old);
    }
    if (p.other_user) {
      ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    }
    if (p.locked) {
      held.push_back(open(file.c_str(), O_RDONLY | O_CLOEXEC));
      ASSERT_EQ(flock(held.back(), LOCK_EX), 0);
    }
  }
  CurrentListPath = path;
  ASSERT_TRUE(SaveSongList().ok);
  ASSERT_TRUE(SaveSongList().ok);  // and once more, with a file to replace
  for (const Planted& p : planted) {
    EXPECT_EQ(FileExists(folder_.File(p.name)), !p.swept) << p.name;
  }
  for (int fd : held) close(fd);
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder_.path())) (void)e, ++entries;
  EXPECT_EQ(entries, 1 + static_cast<int>(std::count_if(std::begin(planted), std::end(planted),
                                                        [](const Planted& p) { return !p.swept; })));
}

// A list that someone else planted, set-user-ID, in a folder both may write: the save
// must not turn it into a set-user-ID file of this user's (here root's), and a
// replaced file of the user's own keeps no more than its permission bits.
TEST_F(SongListFileTest, ASaveNeverMakesASetUserIdFileOrTakesAnotherUsersFile) {
  chmod(folder_.path().c_str(), 0777);
  const std::string planted = folder_.File("planted.dat"), own = folder_.File("own.dat");
  WriteWholeFile(planted, std::string(818, '\0'));
  ASSERT_EQ(chown(planted.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(planted.c_str(), 04777), 0);
  WriteWholeFile(own, std::string(818, '\0'));
  ASSERT_EQ(chmod(own.c_str(), 06775), 0);
  struct stat before, after;
  ASSERT_EQ(stat(planted.c_str(), &before), 0);
  SongList.PlayMode = PlayMode::kSerial;
  SongList.SongCount = 2;
  for (const std::string& path : {planted, own}) {
    CurrentListPath = path;
    TakeSerialTurn([](SongListRecord& list) { ++list.SerialPosition; });
  }
  ASSERT_EQ(stat(planted.c_str(), &after), 0);
  EXPECT_EQ(after.st_uid, 65534u);  // still the planter's: written in place, not replaced
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(ReadWholeFile(planted)[kSerialPositionOffset], 1);
  ASSERT_EQ(stat(own.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0775u);
  EXPECT_EQ(ReadWholeFile(own)[kSerialPositionOffset], 1);
}

// A list shared in a group, with an access control list and attributes of its own,
// and reached by two hard links: a save changes its bytes only. Its group, its
// attributes and its one inode stay, so the others who share it still may write it.
TEST_F(SongListFileTest, ASaveKeepsTheFilesGroupAttributesAndHardLinks) {
  const std::string shared = folder_.File("shared.dat"), second = folder_.File("second.dat");
  const std::string linked = folder_.File("linked.dat"), also = folder_.File("also.dat");
  // The access list: owner rw, user 4242 rw, group r, mask rw, others r.
  const uint32_t kAll = 0xFFFFFFFF;
  const uint32_t acl[] = {2, 1 | 6u << 16, kAll, 2 | 6u << 16, 4242, 4 | 4u << 16, kAll,
                          0x10 | 6u << 16, kAll, 0x20 | 4u << 16, kAll};
  const std::string note = "kept by the user";
  for (const std::string& path : {shared, second}) {
    WriteWholeFile(path, std::string(818, '\0'));
    ASSERT_EQ(chown(path.c_str(), 0, 4242), 0);  // group "family", not the saver's
    ASSERT_EQ(chmod(path.c_str(), 0664), 0);
  }
  const bool attributes = setxattr(second.c_str(), "user.note", note.data(), note.size(), 0) == 0 &&
                          setxattr(second.c_str(), "system.posix_acl_access", acl, sizeof acl, 0) == 0;
  WriteWholeFile(linked, std::string(818, '\0'));
  ASSERT_EQ(link(linked.c_str(), also.c_str()), 0);
  struct stat before_link;
  ASSERT_EQ(stat(linked.c_str(), &before_link), 0);
  SongList.SetSlotText(0, "/shared.wav");
  for (const std::string& path : {shared, second, linked}) {
    CurrentListPath = path;
    const FileResult saved = SaveSongList();
    ASSERT_TRUE(saved.ok) << path << ": " << saved.reason;
  }
  struct stat st;
  for (const std::string& path : {shared, second}) {
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, 4242u) << path;
    EXPECT_EQ(st.st_mode & 07777, 0664u) << path;
    EXPECT_EQ(ReadWholeFile(path).substr(0, 11), "/shared.wav");
  }
  if (attributes) {
    char value[64] = {};
    EXPECT_EQ(getxattr(second.c_str(), "user.note", value, sizeof value), static_cast<ssize_t>(note.size()));
    EXPECT_EQ(std::string(value, note.size()), note);
    uint32_t read_back[16] = {};
    ASSERT_EQ(getxattr(second.c_str(), "system.posix_acl_access", read_back, sizeof read_back),
              static_cast<ssize_t>(sizeof acl));
    EXPECT_EQ(read_back[4], 4242u);  // user 4242 may still write it
  } else {
    ADD_FAILURE() << "the test folder takes no extended attributes: " << std::strerror(errno);
  }
  ASSERT_EQ(stat(also.c_str(), &st), 0);
  EXPECT_EQ(st.st_ino, before_link.st_ino);
  EXPECT_EQ(st.st_nlink, 2u);
  EXPECT_EQ(ReadWholeFile(also).substr(0, 11), "/shared.wav");
}

// The kernel's rule for links in shared folders, kept by the program itself: a link
// another user put in a sticky, world-writable folder is neither written through nor
// read through; the user's own links, and links in folders not shared, still are.
TEST_F(SongListFileTest, ALinkPlantedInASharedFolderIsNeverFollowed) {
  const std::string shared = folder_.File("shared"), mine = folder_.File("mine");
  std::filesystem::create_directory(shared);
  std::filesystem::create_directory(mine);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  ASSERT_EQ(chmod(folder_.path().c_str(), 0755), 0);
  ASSERT_EQ(chown(mine.c_str(), 65534, 65534), 0);
  const std::string victim = mine + "/list.dat";
  WriteWholeFile(victim, std::string(818, 'v'));
  ASSERT_EQ(chown(victim.c_str(), 65534, 65534), 0);
  struct Link {
    std::string at;
    uid_t owner;
    bool followed;
  };
  const Link links[] = {
      {shared + "/planted.dat", 4242, false},  // another user's, in the shared folder
      {shared + "/own.dat", 65534, true},      // the user's own
      {shared + "/folder-owners.dat", 0, true},  // the shared folder's owner's
      {mine + "/link.dat", 4242, true},        // not in a shared folder
  };
  for (const Link& link : links) {
    ASSERT_EQ(symlink(victim.c_str(), link.at.c_str()), 0);
    ASSERT_EQ(lchown(link.at.c_str(), link.owner, link.owner), 0);
  }
  testing::AsUnprivilegedUser user;
  ASSERT_TRUE(user.ok()) << user.why();
  for (const Link& link : links) {
    WriteWholeFile(victim, std::string(818, 'v'));
    SongList.SetSlotText(0, "/x.wav");
    CurrentListPath = link.at;
    const FileResult saved = SaveSongList();
    EXPECT_EQ(saved.ok, link.followed) << link.at << ": " << saved.reason;
    EXPECT_EQ(ReadWholeFile(victim)[0] == '/', link.followed) << link.at;
    if (!link.followed) {
      EXPECT_NE(saved.reason.find("link"), std::string::npos) << saved.reason;
    }
    SongList.SetSlotText(0, "");
    EXPECT_EQ(LoadSongList(link.at).ok, link.followed) << link.at;
  }
}

// Greetings that run at once each take a turn of their own; one that cannot have the
// lock in time plays without saving rather than waiting on, and a settings edit
// gives up alike.
TEST_F(SongListFileTest, SerialTurnsTakenAtOnceAreNeverLost) {
  const std::string path = folder_.File("songs.dat");
  WriteWholeFile(path, std::string(818, '\0'));
  constexpr int kGreetings = 20;
  std::vector<pid_t> children;
  for (int i = 0; i < kGreetings; ++i) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ResetSongListState();
      CurrentListPath = path;
      LoadSongList(path);
      _exit(TakeSerialTurn([](SongListRecord& list) { ++list.SerialPosition; }).ok ? 0 : 1);
    }
    children.push_back(child);
  }
  int saved = 0;
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    saved += WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  EXPECT_EQ(saved, kGreetings);
  EXPECT_EQ(ReadWholeFile(path)[kSerialPositionOffset], kGreetings);

  // Held past the wait, on a clock where waiting takes no time: the list and the
  // settings alike give up and say so, and nothing is written.
  struct : LockClock {
    std::chrono::steady_clock::time_point now;
    std::chrono::steady_clock::time_point Now() override { return now; }
    void Sleep(std::chrono::milliseconds pause) override { now += pause; }
  } impatient;
  UseLockClock(&impatient);
  const int holder = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const int folder_holder = open(folder_.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  ASSERT_EQ(flock(folder_holder, LOCK_EX), 0);
  CurrentListPath = path;
  ASSERT_TRUE(LoadSongList(path).ok);
  int chosen = -1;
  const FileResult turn = TakeSerialTurn([&](SongListRecord& list) { chosen = ++list.SerialPosition; });
  const FileResult setting = WriteSetting("CurFile", "/else.dat");
  UseLockClock(nullptr);
  close(holder);
  close(folder_holder);
  EXPECT_EQ(chosen, kGreetings + 1);  // the song is still chosen
  EXPECT_EQ(ReadWholeFile(path)[kSerialPositionOffset], kGreetings);
  for (const FileResult& r : {turn, setting}) {
    EXPECT_EQ(r.error, EWOULDBLOCK) << r.reason;
    EXPECT_NE(r.reason.find("another copy"), std::string::npos) << r.reason;
  }
  EXPECT_FALSE(FileExists(folder_.File("TOLVERA.INI")));
}

// Setup was open while greetings took their turns: its save keeps those turns, and
// the record in memory learns of them, while what the user edited is saved.
TEST_F(SongListFileTest, ASaveFromSetupKeepsTheTurnsTakenMeanwhile) {
  const std::string path = folder_.File("songs.dat");
  WriteWholeFile(path, std::string(818, '\0'));
  CurrentListPath = path;
  ASSERT_TRUE(LoadSongList(path).ok);
  std::string advanced(818, '\0');
  advanced[kSerialPositionOffset] = 3;
  WriteWholeFile(path, advanced);  // three greetings later
  SongList.SetSlotText(0, "/edited.wav");
  SongList.PlayMode = PlayMode::kSerial;
  ASSERT_TRUE(SaveSongList().ok);
  const std::string after = ReadWholeFile(path);
  EXPECT_EQ(after[kSerialPositionOffset], 3);
  EXPECT_EQ(after.substr(0, 11), "/edited.wav");
  EXPECT_EQ(after[kPlayModeOffset], static_cast<int>(PlayMode::kSerial));
  EXPECT_EQ(SongList.SerialPosition, 3);
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

  // New files of every legal name length, the longest leaving no room for a
  // temporary name made from it.
  for (std::size_t length : {7, 250, 255}) {
    CurrentListPath = folder_.File(std::string(length - 4, 'n') + ".dat");
    const FileResult saved = SaveSongList();
    ASSERT_TRUE(saved.ok) << length << ": " << saved.reason;
    ASSERT_EQ(stat(CurrentListPath.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_NE(st.st_mode & S_IWUSR, 0u);
    ASSERT_TRUE(SaveSongList().ok) << length;  // and replaced
  }
}

TEST_F(SongListFileTest, CurrentListComesFromAndGoesToCurFile) {
  const std::string path = folder_.File("mine.dat");
  std::string content(818, '\0');
  content.replace(0, 4, "/s1\0", 4);
  content[814] = 4;
  WriteWholeFile(path, content);
  ASSERT_TRUE(SetCurrentList(path).ok);
  EXPECT_EQ(ReadSetting("CurFile", 81), path);

  ResetSongListState();
  OpenCurrentList();
  EXPECT_EQ(CurrentListPath, path);
  EXPECT_EQ(SongList.SlotText(0), "/s1");
  EXPECT_EQ(SongList.PlayMode, PlayMode{4});
}

TEST_F(SongListFileTest, PathLongerThanEightyCharactersIsRefusedNotCut) {
  ASSERT_TRUE(SetCurrentList("/kept.dat").ok);
  EXPECT_TRUE(SetCurrentList("/" + std::string(79, 'p')).ok);
  EXPECT_FALSE(SetCurrentList("/" + std::string(80, 'p')).ok);
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
