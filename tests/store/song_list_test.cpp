// The 818-byte record: exact layout, round trips of damaged content, the occupied rule.
#include "store/song_list.h"

#include <gtest/gtest.h>

namespace morrowby {
namespace {

TEST(SongListRecordTest, FieldsSitAtTheirOffsetsLittleEndian) {
  SongListRecord list;
  list.SetSlotText(0, "C:\\SONGS\\A.WAV");
  list.SetSlotText(9, "/last");
  list.SongCount = 0x0102;
  list.SerialPosition = -2;
  list.PlayMode = PlayMode{3};
  list.reserved = 0xBEEF;
  const SongListImage image = EncodeSongList(list);
  ASSERT_EQ(image.size(), 818u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[0])), "C:\\SONGS\\A.WAV");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[729])), "/last");
  EXPECT_EQ(image[810], 0x02);
  EXPECT_EQ(image[811], 0x01);
  EXPECT_EQ(image[812], 0xFE);
  EXPECT_EQ(image[813], 0xFF);
  EXPECT_EQ(image[814], 3);
  EXPECT_EQ(image[815], 0);
  EXPECT_EQ(image[816], 0xEF);
  EXPECT_EQ(image[817], 0xBE);
}

TEST(SongListRecordTest, DecodeEncodeKeepsEveryByte) {
  SongListImage image;
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
  EXPECT_EQ(EncodeSongList(DecodeSongList(image)), image);
}

TEST(SongListRecordTest, ClearingASlotKeepsTheBytesAfterTheTerminator) {
  SongListRecord list;
  list.SetSlotText(2, "/music/long-name.wav");
  list.ClearSlot(2);
  EXPECT_TRUE(list.SlotEmpty(2));
  EXPECT_EQ(EncodeSongList(list)[2 * 81 + 1], 'm');
  list.SetSlotText(2, "/a");
  EXPECT_EQ(list.SlotText(2), "/a");
}

TEST(SongListRecordTest, SlotWithoutTerminatorGivesAtMostEightyCharacters) {
  SongListImage image{};
  std::fill(image.begin(), image.begin() + 810, 'x');
  const SongListRecord list = DecodeSongList(image);
  for (int i = 0; i < kSlotCount; ++i) EXPECT_EQ(list.SlotText(i), std::string(80, 'x'));
}

TEST(SongListRecordTest, OnlySlotsWithALetterCount) {
  SongListRecord list;
  list.SetSlotText(0, "C:\\A.WAV");
  list.SetSlotText(1, "123");
  list.SetSlotText(2, "   ");
  list.SetSlotText(3, "./-_ 9");
  list.SetSlotText(4, "\xE9t\xE9");  // a non-ASCII letter is no letter; 't' is
  list.SetSlotText(5, "\xE9\xE8");
  list.SetSlotText(6, "/m/z");
  EXPECT_TRUE(SlotOccupied(list, 0));
  EXPECT_FALSE(SlotOccupied(list, 1));
  EXPECT_FALSE(SlotOccupied(list, 2));
  EXPECT_FALSE(SlotOccupied(list, 3));
  EXPECT_TRUE(SlotOccupied(list, 4));
  EXPECT_FALSE(SlotOccupied(list, 5));
  EXPECT_EQ(CountSongs(list), 3);
}

}  // namespace
}  // namespace morrowby
