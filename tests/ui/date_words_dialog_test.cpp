// The date words dialog on a real window: DateLine shown as pressed and released
// buttons, written back on OK, untouched by Cancel, and a failed write reported.
#include "ui/date_words_dialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <wx/radiobut.h>
#include <wx/tglbtn.h>

#include "store/settings.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/window_test_support.h"

namespace morrowby {
namespace {

using testing::RunWindow;

constexpr int kWordButtons[] = {104, 105, 106, 107, 108, 109, 110, 111, 112, 115};

class DateWordsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetQuitRequest(); }

  void Run(const std::function<void(TDlgModAn*)>& act) { RunWindow(new TDlgModAn(nullptr), act); }
  static wxToggleButton* Word(TDlgModAn* d, int position) {
    return dynamic_cast<wxToggleButton*>(d->FindWindow(kWordButtons[position]));
  }
  static wxRadioButton* Clock(TDlgModAn* d, int id) {
    return dynamic_cast<wxRadioButton*>(d->FindWindow(id));
  }
  static std::string Pressed(TDlgModAn* d) {
    std::string out;
    for (int p = 0; p < 10; ++p) out += Word(d, p)->GetValue() ? 'P' : '-';
    return out;
  }
  static std::string Stored() { return ReadSetting("DateLine", 13); }

  testing::TempFolder folder_;
  testing::PromptDouble prompts_;
};

TEST_F(DateWordsDialogTest, AllSpokenTwelveHourShowsReleasedAndWritesBackUnchanged) {
  ASSERT_TRUE(WriteSetting("DateLine", "yyyyyyyyyyy").ok);
  std::string pressed;
  bool twelve = false;
  Run([&](TDlgModAn* d) {
    pressed = Pressed(d);
    twelve = Clock(d, 113)->GetValue();
    d->SendCommand(1);
  });
  EXPECT_EQ(pressed, "----------");
  EXPECT_TRUE(twelve);
  EXPECT_EQ(Stored(), "yyyyyyyyyyy");
}

TEST_F(DateWordsDialogTest, ClickingFifteenLeavesOutOnlyTheMinutesAndTellsAScreenReader) {
  ASSERT_TRUE(WriteSetting("DateLine", "yyyyyyyyyyy").ok);
  std::string before, after, other;
  Run([&](TDlgModAn* d) {
    before = testing::ScreenReaderDescription(Word(d, 8));
    testing::ClickWithMouse(Word(d, 8));
    testing::RunUntil([&] { return Word(d, 8)->GetValue(); }, 5000);
    after = testing::ScreenReaderDescription(Word(d, 8));
    other = testing::ScreenReaderDescription(Word(d, 7));
    d->SendCommand(1);
  });
  EXPECT_EQ(Stored(), "yyyyyyyynyy");
  EXPECT_EQ(before, "spoken");
  EXPECT_EQ(after, "left out");
  EXPECT_EQ(other, "spoken");
}

TEST_F(DateWordsDialogTest, FirstRunPressesEverythingAndReleasingAllWithTwentyFourHourSpeaksAll) {
  std::string pressed;
  bool twenty_four = false;
  Run([&](TDlgModAn* d) {
    pressed = Pressed(d);
    twenty_four = Clock(d, 114)->GetValue();
    for (int p = 0; p < 10; ++p) Word(d, p)->SetValue(false);
    Clock(d, 113)->SetValue(true);
    testing::ClickWithMouse(Clock(d, 114));
    testing::RunUntil([&] { return Clock(d, 114)->GetValue(); }, 5000);
    EXPECT_FALSE(Clock(d, 113)->GetValue());
    d->SendCommand(1);
  });
  EXPECT_EQ(pressed, "PPPPPPPPPP");
  EXPECT_TRUE(twenty_four);
  EXPECT_EQ(Stored(), "yyyyyyyyyyn");
}

TEST_F(DateWordsDialogTest, CancelAfterChangesKeepsTheStoredValue) {
  ASSERT_TRUE(WriteSetting("DateLine", "ynynynynyny").ok);
  Run([](TDlgModAn* d) {
    Word(d, 0)->SetValue(true);
    Clock(d, 113)->SetValue(true);
    d->SendCommand(2);
  });
  EXPECT_EQ(Stored(), "ynynynynyny");
}

TEST_F(DateWordsDialogTest, UpperCaseAndMissingPositionsShowPressed) {
  ASSERT_TRUE(WriteSetting("DateLine", "Yyyyy").ok);
  std::string pressed;
  std::string described;
  Run([&](TDlgModAn* d) {
    pressed = Pressed(d);
    described = testing::ScreenReaderDescription(Word(d, 0));
  });
  EXPECT_EQ(pressed, "P----PPPPP");
  EXPECT_EQ(described, "left out");
}

TEST_F(DateWordsDialogTest, AFailedWriteIsReportedAndTheWindowStaysOpen) {
  ASSERT_TRUE(WriteSetting("DateLine", "yyyyyyyyyyy").ok);
  chmod(SettingsFilePath().c_str(), 0444);
  bool still_open = false;
  Run([&](TDlgModAn* d) {
    Word(d, 0)->SetValue(true);
    d->SendCommand(1);
    still_open = d->IsModal();
  });
  EXPECT_TRUE(still_open);
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].caption, "ERROR");
  EXPECT_EQ(Stored(), "yyyyyyyyyyy");
}

}  // namespace
}  // namespace morrowby
