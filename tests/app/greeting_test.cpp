// The greeting program's run on its one thread: the list's state handed over only once
// it is final, and the end of the sound only once it has been heard.
#include "app/greeting.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <functional>

#include "app/hand_over.h"
#include "store/settings.h"
#include "store/song_list_file.h"
#include "tests/support/fake_sound.h"
#include "tests/support/temp_folder.h"

namespace morrowby {
namespace {

class GreetingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSongListState();
    ASSERT_EQ(pipe2(fds_, O_NONBLOCK), 0);
  }
  void TearDown() override {
    for (int fd : fds_)
      if (fd >= 0) close(fd);
    ResetSongListState();
  }

  void UseList(PlayMode mode, int16_t position) {
    list_ = folder_.File("songs.dat");
    SongList.PlayMode = mode;
    SongList.SerialPosition = position;
    SongList.SongCount = 2;
    SongList.SetSlotText(0, "/zero.wav");
    SongList.SetSlotText(1, "/one.wav");
    CurrentListPath = list_;
    ASSERT_TRUE(SaveSongList().ok);
    ASSERT_TRUE(SetCurrentList(list_).ok);
    ResetSongListState();
  }

  HandOverReader::Status Read() { return ReadHandOver(fds_[0], &reader_); }

  testing::TempFolder folder_;
  std::string list_;
  int fds_[2] = {-1, -1};
  HandOverReader reader_;
};

// Looks into the channel while the sound is being drained.
class WatchedSound : public testing::FakeSound {
 public:
  explicit WatchedSound(std::function<HandOverReader::Status()> read) : read_(std::move(read)) {}
  void Drain() override {
    seen_at_drain = read_();
    FakeSound::Drain();
  }
  HandOverReader::Status seen_at_drain = HandOverReader::kWaiting;

 private:
  std::function<HandOverReader::Status()> read_;
};

TEST_F(GreetingTest, SerialRunHandsOverTheSavedPositionBeforeTheEndOfTheSound) {
  UseList(PlayMode::kSerial, 0);
  WatchedSound sound([this] { return Read(); });
  Greet(sound, true, [this] { return fds_[1]; });
  EXPECT_EQ(sound.requests, (std::vector<std::string>{"song:/one.wav", "drain"}));
  // While the sound is heard the windows have the state but not its end.
  EXPECT_EQ(sound.seen_at_drain, HandOverReader::kHasState);
  EXPECT_EQ(Read(), HandOverReader::kEnded);
  EXPECT_EQ(reader_.State().list.SerialPosition, 1);
  EXPECT_EQ(reader_.State().current_list_path, list_);
  EXPECT_EQ(testing::ReadWholeFile(list_)[kSerialPositionOffset], 1);
}

TEST_F(GreetingTest, SetupRunPlaysNothingAndHandsOverAtOnce) {
  UseList(PlayMode::kRandom, 0);
  testing::FakeSound sound;
  Greet(sound, false, [this] { return fds_[1]; });
  EXPECT_TRUE(sound.requests.empty());
  EXPECT_EQ(Read(), HandOverReader::kEnded);
  EXPECT_EQ(reader_.State().list.SlotText(1), "/one.wav");
}

TEST_F(GreetingTest, AWindowsProgramThatHasGoneDoesNotStopTheGreeting) {
  UseList(PlayMode::kDayOfWeek, 0);
  signal(SIGPIPE, SIG_IGN);  // as the program does
  close(fds_[0]);
  fds_[0] = -1;
  testing::FakeSound sound;
  Greet(sound, true, [this] { return fds_[1]; });
  EXPECT_EQ(sound.requests.back(), "drain");
}

}  // namespace
}  // namespace morrowby
