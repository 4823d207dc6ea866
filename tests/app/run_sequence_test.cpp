// The windows program's whole run on real windows: the hand-over read until the sound
// has been heard, the launch button's two seconds with the button left alone, clicked
// once or twice, or Escape, and the orderly end.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/tglbtn.h>

#include "app/main_window.h"
#include "resources/dialog_layouts.h"
#include "store/song_list_file.h"
#include "tests/app/hand_over_pipe.h"
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
    SetupAtOnce = false;
    SetupRequested = -1;  // so we can tell whether the launch window's OK ran
  }
  void TearDown() override {
    ResetSongListState();
    ResetQuitRequest();
    LaunchWindow = nullptr;
    SetupAtOnce = false;
  }

  // One run of the windows, the greeting having handed over and ended its sound.
  void Run() {
    pipe_.SendState();
    pipe_.SendEnd();
    RunWindows();
  }
  // Runs the windows on what the pipe holds or will hold; returns when the main loop
  // has ended.
  void RunWindows() {
    auto* window = new TWndw(pipe_.ReadFd());
    window->Show();
    window->SetupWindow();
    wxTheApp->MainLoop();
    window->Destroy();
    wxTheApp->Yield(true);
  }

  static bool LaunchShown() { return LaunchWindow != nullptr && LaunchWindow->IsModal(); }
  static wxToggleButton* LaunchButton() {
    return dynamic_cast<wxToggleButton*>(LaunchWindow->FindWindow(101));
  }

  testing::TempFolder folder_;
  testing::HandOverPipe pipe_;
};

TEST_F(RunSequenceTest, ButtonLeftAloneEndsTheRunWithoutSetup) {
  Run();
  EXPECT_EQ(SetupRequested, 0);
  EXPECT_TRUE(QuitRequested());
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

TEST_F(RunSequenceTest, LaunchWindowWaitsForTheEndOfTheSound) {
  pipe_.SendState();
  bool shown_while_playing = true, shown_after = false;
  WhenReady([] { return true; }, [&] {
    // The greeting has not said that its sound has been heard: no button, however long.
    shown_while_playing = testing::RunUntil(LaunchShown, 500);
    pipe_.SendEnd();
  });
  WhenReady(LaunchShown, [&] {
    shown_after = true;
    LaunchWindow->SendCommand(2);
  });
  RunWindows();
  EXPECT_FALSE(shown_while_playing);
  EXPECT_TRUE(shown_after);
}

TEST_F(RunSequenceTest, TheListComesFromTheHandOverNotFromTheFiles) {
  HandOverState state;
  state.list.SetSlotText(0, "/handed/over.wav");
  state.list.PlayMode = PlayMode::kSerial;
  state.list.SerialPosition = 3;
  state.current_list_path = folder_.File("never-read.dat");
  testing::WriteWholeFile(state.current_list_path, std::string(kSongListBytes, 'x'));
  pipe_.SendState(state);
  pipe_.SendEnd();
  WhenReady(LaunchShown, [] { LaunchWindow->SendCommand(2); });
  RunWindows();
  EXPECT_EQ(SongList.SlotText(0), "/handed/over.wav");
  EXPECT_EQ(SongList.SerialPosition, 3);
  EXPECT_EQ(CurrentListPath, state.current_list_path);
}

TEST_F(RunSequenceTest, AGreetingThatEndsWithoutItsHandOverEndsTheRunWithoutAButton) {
  pipe_.Write("MORROWBY");
  pipe_.CloseWriteEnd();
  RunWindows();
  EXPECT_EQ(LaunchWindow, nullptr);
  EXPECT_TRUE(QuitRequested());
}

TEST_F(RunSequenceTest, SetupAtOnceOpensSetupWithNoButtonOnceHandedOver) {
  SetupAtOnce = true;
  bool setup_opened = false;
  WhenReady([] { return testing::RunningWindow(kSetupResource) != nullptr; }, [&] {
    setup_opened = true;
    testing::RunningWindow(kSetupResource)->SendCommand(2);
  });
  Run();
  EXPECT_TRUE(setup_opened);
  EXPECT_EQ(LaunchWindow, nullptr);
}

}  // namespace
}  // namespace morrowby
