// The play mode dialog on a real window: the current mode shown, OK writing the whole
// list at once, Cancel writing nothing, a failed write reported, and its Help window.
#include "ui/play_mode_dialog.h"

#include <gtest/gtest.h>
#include <wx/radiobut.h>

#include "store/song_list_file.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/window_test_support.h"

namespace morrowby {
namespace {

using testing::RunWindow;

class PlayModeDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSongListState();
    ResetQuitRequest();
    CurrentListPath = list_;
  }
  void TearDown() override { ResetSongListState(); }

  void Run(const std::function<void(TDlg3*)>& act) { RunWindow(new TDlg3(nullptr), act); }
  static wxRadioButton* Radio(TDlg3* dialog, int id) {
    return dynamic_cast<wxRadioButton*>(dialog->FindWindow(id));
  }

  testing::TempFolder folder_;
  const std::string list_ = folder_.File("list.dat");
  testing::PromptDouble prompts_;
};

TEST_F(PlayModeDialogTest, OpensWithTheCurrentModeChecked) {
  const int ids[] = {101, 102, 103, 105, 107};
  for (int16_t mode = 0; mode <= 4; ++mode) {
    SongList.PlayMode = PlayMode{mode};
    std::vector<int> checked;
    Run([&](TDlg3* dialog) {
      for (int id : ids)
        if (Radio(dialog, id)->GetValue()) checked.push_back(id);
    });
    EXPECT_EQ(checked, std::vector<int>{ids[mode]}) << "mode " << mode;
  }
}

TEST_F(PlayModeDialogTest, OkWritesTheWholeRecordEvenUnchanged) {
  SongList.PlayMode = PlayMode::kSerial;
  SongList.SetSlotText(0, "/typed/not/saved.wav");  // from the editor, never saved
  Run([](TDlg3* dialog) { dialog->SendCommand(1); });
  const std::string file = testing::ReadWholeFile(list_);
  ASSERT_EQ(file.size(), kSongListBytes);
  EXPECT_EQ(file[kPlayModeOffset], static_cast<int>(PlayMode::kSerial));
  EXPECT_EQ(file.substr(0, 20), "/typed/not/saved.wav");
}

TEST_F(PlayModeDialogTest, AClickedModeIsStoredAndWritten) {
  Run([](TDlg3* dialog) {
    testing::ClickWithMouse(dialog->FindWindow(105));
    testing::RunUntil([&] { return Radio(dialog, 105)->GetValue(); }, 5000);
    EXPECT_FALSE(Radio(dialog, 101)->GetValue());  // one group across the "or hear" label
    dialog->SendCommand(1);
  });
  EXPECT_EQ(SongList.PlayMode, PlayMode::kAnnounce);
  EXPECT_EQ(testing::ReadWholeFile(list_)[kPlayModeOffset], static_cast<int>(PlayMode::kAnnounce));
}

TEST_F(PlayModeDialogTest, CancelChangesNeitherTheModeNorTheFile) {
  SongList.PlayMode = PlayMode{7};  // only a damaged file holds this; no button stands for it
  Run([](TDlg3* dialog) {
    Radio(dialog, 107)->SetValue(true);
    dialog->SendCommand(2);
  });
  EXPECT_EQ(SongList.PlayMode, PlayMode{7});
  EXPECT_FALSE(testing::FileExists(list_));
}

TEST_F(PlayModeDialogTest, AFailedWriteIsReportedAndTheModeKeptInMemory) {
  CurrentListPath = folder_.File("missing/list.dat");
  TDlg3* owner = nullptr;
  Run([&](TDlg3* dialog) {
    owner = dialog;
    Radio(dialog, 107)->SetValue(true);
    dialog->SendCommand(1);
  });
  EXPECT_EQ(SongList.PlayMode, PlayMode::kSilent);
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].owner, owner);
  EXPECT_EQ(prompts_.messages[0].caption, "ERROR");
  EXPECT_NE(prompts_.messages[0].text.find("missing/list.dat"), std::string::npos);
}

TEST_F(PlayModeDialogTest, WithNoListFileTheModeHoldsForThisRunQuietly) {
  CurrentListPath.clear();
  Run([](TDlg3* dialog) {
    Radio(dialog, 103)->SetValue(true);
    dialog->SendCommand(1);
  });
  EXPECT_EQ(SongList.PlayMode, PlayMode::kDayOfWeek);
  EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(PlayModeDialogTest, HelpOpensSelectionModesOverTheChooser) {
  Run([](TDlg3* dialog) {
    const testing::HelpSeen seen = testing::PressHelp(dialog, kSelectionModesResource);
    EXPECT_EQ(seen.parent, dialog);
    EXPECT_TRUE(seen.opener_open);
  });
}

}  // namespace
}  // namespace morrowby
