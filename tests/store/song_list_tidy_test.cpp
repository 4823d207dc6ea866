// The editor's OK tidying and Add Opening Song's choice of slot, on plain records.
#include "store/song_list_tidy.h"

#include <gtest/gtest.h>

#include <vector>

namespace morrowby {
namespace {

class SongListTidyTest : public ::testing::Test {
 protected:
  void Fill(const std::vector<std::string>& texts) {
    for (std::size_t i = 0; i < texts.size(); ++i) list_.SetSlotText(static_cast<int>(i), texts[i]);
  }
  std::vector<std::string> Slots() const {
    std::vector<std::string> out;
    for (int i = 0; i < kSlotCount; ++i) out.push_back(list_.SlotText(i));
    return out;
  }
  SongListRecord list_;
};

TEST_F(SongListTidyTest, LetterlessSlotsGoAndSongsCloseUpOutsideDayMode) {
  Fill({"/music/a.wav", "", "123", "/music/b.wav"});
  TidySongList(list_, false);
  EXPECT_EQ(Slots(), (std::vector<std::string>{"/music/a.wav", "/music/b.wav", "", "", "", "", "",
                                               "", "", ""}));
  EXPECT_EQ(list_.SongCount, 2);
}

TEST_F(SongListTidyTest, DayModeKeepsEachSongOnItsDay) {
  Fill({"/music/a.wav", "", "123", "/music/b.wav"});
  TidySongList(list_, true);
  EXPECT_EQ(Slots(), (std::vector<std::string>{"/music/a.wav", "", "", "/music/b.wav", "", "", "",
                                               "", "", ""}));
  EXPECT_EQ(list_.SongCount, 2);
}

TEST_F(SongListTidyTest, BlanksAndPunctuationCountAsEmptyAndRunsOfGapsClose) {
  Fill({"", "  ", "/", "x", "", "", "-.-", "", "y", "/z.wav"});
  TidySongList(list_, false);
  EXPECT_EQ(Slots(), (std::vector<std::string>{"x", "y", "/z.wav", "", "", "", "", "", "", ""}));
  EXPECT_EQ(list_.SongCount, 3);
}

TEST_F(SongListTidyTest, AFullListStaysAsItIs) {
  for (int i = 0; i < kSlotCount; ++i) list_.SetSlotText(i, "/s" + std::to_string(i) + ".wav");
  const std::vector<std::string> before = Slots();
  TidySongList(list_, false);
  EXPECT_EQ(Slots(), before);
  EXPECT_EQ(list_.SongCount, 10);
}

TEST_F(SongListTidyTest, FirstFreeSlotSkipsSongsButNotDigits) {
  Fill({"/a.wav", "42", "/c.wav"});
  EXPECT_EQ(FirstFreeSlot(list_, kSlotCount), 1);
  for (int i = 0; i < 9; ++i) list_.SetSlotText(i, "/song.wav");
  EXPECT_EQ(FirstFreeSlot(list_, kSlotCount), 9);  // nine songs: one place is left
  list_.SetSlotText(9, "/ten.wav");
  EXPECT_EQ(FirstFreeSlot(list_, kSlotCount), -1);
}

TEST_F(SongListTidyTest, FirstFreeSlotLooksOnlyAtTheSlotsInUse) {
  for (int i = 1; i < 7; ++i) list_.SetSlotText(i, "/day.wav");
  EXPECT_EQ(FirstFreeSlot(list_, 7), 0);  // Sunday, although later slots are free too
  list_.SetSlotText(0, "/sunday.wav");
  EXPECT_EQ(FirstFreeSlot(list_, 7), -1);  // every day taken; slots 7 to 9 are not offered
  EXPECT_EQ(FirstFreeSlot(list_, kSlotCount), 7);
}

}  // namespace
}  // namespace morrowby
