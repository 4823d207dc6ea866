// The whole run on real windows: the greeting, the launch button's two seconds with
// the button left alone, clicked once or twice, or Escape, and the orderly end.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/tglbtn.h>

#include <condition_variable>
#include <mutex>

#include "app/greeting.h"
#include "app/main_window.h"
#include "resources/dialog_layouts.h"
#include "store/settings.h"
#include "store/song_list_file.h"
#include "tests/support/fake_sound.h"
#include "tests/support/temp_folder.h"
#include "tests/support/ui_driver.h"
#include "tests/ui/window_test_support.h"
#include "ui/dialog.h"
#include "ui/launch_window.h"

namespace morrowby {
namespace {

using testing::WhenReady;

class RunSequenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSongListState();
    ResetQuitRequest();
    LaunchWindow = nullptr;
    SetupRequested = -1;  // so we can tell whether the launch window's OK ran
  }
  void TearDown() override {
    ResetSongListState();
    ResetQuitRequest();
    LaunchWindow = nullptr;
  }

  // One run as the program does it: the greeting first, then the windows; returns
  // when the main loop has ended and the greeting's thread is done.
  void Run() { Run(sound_); }
  void Run(SoundService& sound) {
    Greeting greeting(sound);
    auto* window = new TWndw(greeting);
    window->Show();
    window->SetupWindow();
    wxTheApp->MainLoop();
    window->Destroy();
    wxTheApp->Yield(true);
  }

  // A list file of one song in `mode`, made current as a user's Save As would.
  void UseList(int mode) {
    const std::string list = folder_.File("list.dat");
    SongList.PlayMode = static_cast<int16_t>(mode);
    SongList.SongCount = 1;
    SongList.SetSlotText(0, "/song.wav");
    CurrentListPath = list;
    ASSERT_TRUE(SaveSongList().ok);
    ASSERT_TRUE(SetCurrentList(list));
    ResetSongListState();
  }

  static bool LaunchShown() { return LaunchWindow != nullptr && LaunchWindow->IsModal(); }
  static wxToggleButton* LaunchButton() {
    return dynamic_cast<wxToggleButton*>(LaunchWindow->FindWindow(101));
  }

  testing::TempFolder folder_;
  testing::FakeSound sound_;
};

// Holds the greeting's last step, waiting for the sound to be heard, until released.
class HeldSound : public testing::FakeSound {
 public:
  void Drain() override {
    std::unique_lock<std::mutex> lock(mutex_);
    entered_ = true;
    changed_.wait(lock, [this] { return released_; });
    FakeSound::Drain();
    drained_ = true;
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  bool Entered() {
    std::lock_guard<std::mutex> lock(mutex_);
    return entered_;
  }
  bool Drained() {
    std::lock_guard<std::mutex> lock(mutex_);
    return drained_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool entered_ = false, released_ = false, drained_ = false;
};

TEST_F(RunSequenceTest, ButtonLeftAloneEndsTheRunWithoutSetup) {
  Run();
  EXPECT_EQ(SetupRequested, 0);
  EXPECT_TRUE(QuitRequested());
  // No list file: random mode with no songs plays nothing, then drains before the button.
  EXPECT_EQ(sound_.requests, std::vector<std::string>{"drain"});
}

TEST_F(RunSequenceTest, LaunchWindowSitsInTheTopLeftCornerAboveOthers) {
  wxRect where;
  long style = 0;
  WhenReady(LaunchShown, [&] {
    where = LaunchWindow->GetScreenRect();
    style = LaunchWindow->GetWindowStyleFlag();
    LaunchWindow->SendCommand(2);
  });
  Run();
  EXPECT_EQ(where.GetPosition(), wxPoint(0, 0));
  EXPECT_TRUE(style & wxSTAY_ON_TOP);
  EXPECT_FALSE(style & wxCAPTION);
}

TEST_F(RunSequenceTest, OneRealClickLeavesTheButtonInAndRequestsSetup) {
  WhenReady(LaunchShown, [] { testing::ClickWithMouse(LaunchButton()); });
  bool setup_opened = false;
  WhenReady([] { return testing::RunningWindow(kSetupResource) != nullptr; }, [&] {
    setup_opened = true;
    testing::RunningWindow(kSetupResource)->SendCommand(2);
  });
  Run();
  EXPECT_EQ(SetupRequested, 1);
  EXPECT_TRUE(setup_opened);
}

TEST_F(RunSequenceTest, TwoClicksReleaseTheButtonAgain) {
  WhenReady(LaunchShown, [] {
    testing::ClickWithMouse(LaunchButton());
    testing::ClickWithMouse(LaunchButton());
  });
  Run();
  EXPECT_EQ(SetupRequested, 0);
}

TEST_F(RunSequenceTest, EscapeEndsAtOnceEvenWithTheButtonIn) {
  WhenReady(LaunchShown, [] {
    LaunchButton()->SetValue(true);
    LaunchButton()->SetFocus();
    testing::PressKey(WXK_ESCAPE);
  });
  Run();
  EXPECT_EQ(SetupRequested, -1);  // the two seconds never ran out
}

TEST_F(RunSequenceTest, LaunchWindowWaitsForTheLastSampleOfSongAndAnnouncement) {
  ASSERT_TRUE(WriteSetting("DateLine", "nnnnnnnynnn"));
  for (int mode : {kModeRandom, kModeAnnounce}) {
    SCOPED_TRACE(mode);
    UseList(mode);
    ResetQuitRequest();
    LaunchWindow = nullptr;
    HeldSound sound;
    bool shown_while_playing = true, drained_when_shown = false;
    WhenReady([&] { return sound.Entered(); }, [&] {
      // The sound is still being heard: the button must not come, however long.
      shown_while_playing = testing::RunUntil(LaunchShown, 500);
      sound.Release();
    });
    WhenReady(LaunchShown, [&] {
      drained_when_shown = sound.Drained();
      LaunchWindow->SendCommand(2);
    });
    Run(sound);
    EXPECT_FALSE(shown_while_playing);
    EXPECT_TRUE(drained_when_shown);
    EXPECT_GT(sound.requests.size(), 1u);  // the song or the clips, then the wait
  }
}

TEST_F(RunSequenceTest, SerialModeSavesThePositionAndPlaysTheNextSong) {
  const std::string list = folder_.File("songs.dat");
  SongList.PlayMode = kModeSerial;
  SongList.SongCount = 2;
  SongList.SetSlotText(0, "/zero.wav");
  SongList.SetSlotText(1, "/one.wav");
  CurrentListPath = list;
  ASSERT_TRUE(SaveSongList().ok);
  ASSERT_TRUE(SetCurrentList(list));
  ResetSongListState();
  WhenReady(LaunchShown, [] { LaunchWindow->SendCommand(2); });
  Run();
  EXPECT_EQ(sound_.requests, (std::vector<std::string>{"song:/one.wav", "drain"}));
  EXPECT_EQ(testing::ReadWholeFile(list)[812], 1);
}

TEST_F(RunSequenceTest, SilentModeShowsTheButtonWithNoSound) {
  const std::string list = folder_.File("silent.dat");
  SongList.PlayMode = kModeSilent;
  SongList.SetSlotText(0, "/never.wav");
  CurrentListPath = list;
  ASSERT_TRUE(SaveSongList().ok);
  ASSERT_TRUE(SetCurrentList(list));
  ResetSongListState();
  WhenReady(LaunchShown, [] { LaunchWindow->SendCommand(2); });
  Run();
  EXPECT_EQ(sound_.requests, std::vector<std::string>{"drain"});
}

}  // namespace
}  // namespace morrowby
