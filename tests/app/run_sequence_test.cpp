// The whole run on real windows: the greeting, the launch button's two seconds with
// the button left alone, clicked once or twice, or Escape, and the orderly end.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/tglbtn.h>

#include "app/main_window.h"
#include "resources/dialog_layouts.h"
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

  // One run as the program does it; returns when the main loop has ended.
  void Run() {
    auto* window = new TWndw(sound_);
    window->Show();
    window->SetupWindow();
    wxTheApp->MainLoop();
    window_gone_ = false;
    window->Destroy();
    wxTheApp->Yield(true);
  }

  static bool LaunchShown() { return LaunchWindow != nullptr && LaunchWindow->IsModal(); }
  static wxToggleButton* LaunchButton() {
    return dynamic_cast<wxToggleButton*>(LaunchWindow->FindWindow(101));
  }

  testing::TempFolder folder_;
  testing::FakeSound sound_;
  bool window_gone_ = true;
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
