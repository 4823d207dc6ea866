// Which slot a run plays, in each mode, and what damaged records may not do.
#include "sound/song_choice.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "store/song_list_file.h"
#include "tests/support/fake_sound.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

namespace morrowby {
namespace {

int First(int /*n*/) { return 0; }
int Last(int n) { return n < 1 ? 0 : n - 1; }

class SongChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSongListState(); }
  void TearDown() override { ResetSongListState(); }
  StartUpTime Day(int wday) {
    StartUpTime t;
    t.wday = wday;
    return t;
  }
  // What a run's step reported, as the greeting would tell it.
  FaultReport Recorder() {
    return [this](const std::string& what, const FileResult& r) { reports_.push_back(what + ": " + r.reason); };
  }
  testing::TempFolder folder_;
  std::vector<std::string> reports_;
};

TEST_F(SongChoiceTest, RandomModeDrawsBelowTheSongCount) {
  SongListRecord list;
  list.SongCount = 3;
  int asked = -1;
  const RunSound c = ChooseRunSound(list, Day(0), [&](int n) { asked = n; return 2; });
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(c.slot, 2);
  list.SongCount = 0;
  EXPECT_EQ(ChooseRunSound(list, Day(0), [](int n) { return n < 1 ? 0 : 99; }).slot, 0);
}

TEST_F(SongChoiceTest, SerialModeRunsOneTwoZeroAndSavesEachTime) {
  SongListRecord list;
  list.PlayMode = PlayMode::kSerial;
  list.SongCount = 3;
  std::vector<int> played;
  for (int run = 0; run < 6; ++run) {
    const RunSound c = ChooseRunSound(list, Day(0), First);
    EXPECT_EQ(list.SerialPosition, c.slot);
    played.push_back(c.slot);
  }
  EXPECT_EQ(played, (std::vector<int>{1, 2, 0, 1, 2, 0}));
}

TEST_F(SongChoiceTest, SerialModeWithZeroOrOneSongStaysOnSlotZero) {
  for (int count : {0, 1}) {
    SongListRecord list;
    list.PlayMode = PlayMode::kSerial;
    list.SongCount = static_cast<int16_t>(count);
    EXPECT_EQ(ChooseRunSound(list, Day(0), First).slot, 0);
    EXPECT_EQ(ChooseRunSound(list, Day(0), First).slot, 0);
    EXPECT_EQ(list.SerialPosition, 0);
  }
}

TEST_F(SongChoiceTest, DayModePlaysTheWeekdaysSlot) {
  SongListRecord list;
  list.PlayMode = PlayMode::kDayOfWeek;
  list.SongCount = 10;
  for (int wday = 0; wday < 7; ++wday) EXPECT_EQ(ChooseRunSound(list, Day(wday), Last).slot, wday);
}

TEST_F(SongChoiceTest, DamagedValuesNeverReachOutsideTheTenSlots) {
  SongListRecord list;
  list.SongCount = 30000;
  EXPECT_EQ(ChooseRunSound(list, Day(0), Last).slot, 9);
  list.SongCount = -5;
  EXPECT_EQ(ChooseRunSound(list, Day(0), Last).slot, 0);

  list.PlayMode = PlayMode::kSerial;
  list.SongCount = 30000;
  list.SerialPosition = 9;
  EXPECT_EQ(ChooseRunSound(list, Day(0), First).slot, 0);
  list.SerialPosition = -3;
  EXPECT_EQ(ChooseRunSound(list, Day(0), First).slot, 0);
  list.SerialPosition = 32000;
  EXPECT_EQ(ChooseRunSound(list, Day(0), First).slot, 0);

  for (int16_t mode : {int16_t{5}, int16_t{-1}, int16_t{32767}}) {
    list.PlayMode = PlayMode{mode};
    EXPECT_EQ(ChooseRunSound(list, Day(0), First).slot, -1);
    EXPECT_EQ(ChooseRunSound(list, Day(0), First).kind, RunSound::kSong);
  }
  // Only the announcement and silence leave the song path.
  list.PlayMode = PlayMode::kAnnounce;
  EXPECT_EQ(ChooseRunSound(list, Day(0), First).kind, RunSound::kAnnouncement);
  list.PlayMode = PlayMode::kSilent;
  EXPECT_EQ(ChooseRunSound(list, Day(0), First).kind, RunSound::kSilence);
}

TEST_F(SongChoiceTest, PlaySongSavesSerialPositionBeforePlaying) {
  CurrentListPath = folder_.File("list.dat");
  SongList.PlayMode = PlayMode::kSerial;
  SongList.SongCount = 2;
  SongList.SetSlotText(0, "/zero.wav");
  SongList.SetSlotText(1, "/one.wav");
  testing::FakeSound sound;
  MakeGreetingSound(sound, Day(0), Recorder());
  EXPECT_EQ(sound.requests, std::vector<std::string>{"song:/one.wav"});
  const std::string saved = testing::ReadWholeFile(CurrentListPath);
  ASSERT_EQ(saved.size(), 818u);
  EXPECT_EQ(saved[812], 1);
}

TEST_F(SongChoiceTest, TheSerialSaveNeverShortensALongerFileButTheSongPlays) {
  // A sound file opened as the list by mistake, its first bytes read as a serial list.
  SongList.PlayMode = PlayMode::kSerial;
  SongList.SongCount = 2;
  SongList.SetSlotText(0, "/zero.wav");
  SongList.SetSlotText(1, "/one.wav");
  const SongListImage image = EncodeSongList(SongList);
  const std::string wav = std::string(image.begin(), image.end()) + std::string(74770, '\x55');
  CurrentListPath = folder_.File("song.wav");
  testing::WriteWholeFile(CurrentListPath, wav);
  testing::FakeSound sound;
  MakeGreetingSound(sound, Day(0), Recorder());
  EXPECT_EQ(sound.requests, std::vector<std::string>{"song:/one.wav"});
  EXPECT_TRUE(testing::ReadWholeFile(CurrentListPath) == wav);
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_NE(reports_[0].find("more than a song list"), std::string::npos) << reports_[0];
}

TEST_F(SongChoiceTest, TheSerialSaveReachesAWritableListInAReadOnlyFolder) {
  const std::string locked = folder_.File("locked");
  std::filesystem::create_directory(locked);
  CurrentListPath = locked + "/list.dat";
  testing::WriteWholeFile(CurrentListPath, std::string(818, '\0'));
  chmod(CurrentListPath.c_str(), 0666);
  chmod(locked.c_str(), 0555);
  chmod(folder_.path().c_str(), 0755);
  SongList.PlayMode = PlayMode::kSerial;
  SongList.SongCount = 2;
  SongList.SetSlotText(0, "/zero.wav");
  SongList.SetSlotText(1, "/one.wav");
  testing::FakeSound sound;
  {
    testing::AsUnprivilegedUser user;
    ASSERT_TRUE(user.ok()) << user.why();
    MakeGreetingSound(sound, Day(0), Recorder());
  }
  EXPECT_EQ(sound.requests, std::vector<std::string>{"song:/one.wav"});
  const std::string saved = testing::ReadWholeFile(CurrentListPath);
  ASSERT_EQ(saved.size(), 818u);
  EXPECT_EQ(saved[812], 1);
  EXPECT_TRUE(reports_.empty());
}

TEST_F(SongChoiceTest, PlaySongSkipsEmptySlotsButNotLetterlessOnes) {
  SongList.PlayMode = PlayMode::kDayOfWeek;
  SongList.SetSlotText(5, "/friday.wav");
  SongList.SetSlotText(3, "   ");
  testing::FakeSound sound;
  MakeGreetingSound(sound, Day(6), Recorder());  // Saturday's slot is empty
  EXPECT_TRUE(sound.requests.empty());
  MakeGreetingSound(sound, Day(3), Recorder());
  EXPECT_EQ(sound.requests, std::vector<std::string>{"song:   "});
}

}  // namespace
}  // namespace morrowby
