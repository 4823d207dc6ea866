// The clip store: every id 601..682 is in the program, nothing else is, and the
// player neither plays nor stops anything for a number without a clip.
#include "sound/clip_catalogue.h"

#include <gtest/gtest.h>

#include <cstring>

#include "sound/wave_image.h"
#include "tests/support/fake_sound.h"

namespace morrowby {
namespace {

TEST(ClipCatalogueTest, EveryClipIsBuiltInAsACompleteWaveImage) {
  for (ClipId id = kFirstClip; id <= kLastClip; ++id) {
    const ClipImage image = FindClip(ProgramModule(), id);
    ASSERT_NE(image.data, nullptr) << id;
    WaveView view;
    ASSERT_TRUE(ParseWaveImage(image.data, image.size, &view)) << id;
    EXPECT_EQ(view.rate, 22050) << id;
    EXPECT_EQ(view.channels, 1) << id;
    EXPECT_EQ(view.bits, 8) << id;
  }
  for (ClipId id : {0, 600, 683, 65535}) EXPECT_EQ(FindClip(ProgramModule(), id).data, nullptr);
}

TEST(ClipCatalogueTest, TablesPointAtTheRightWords) {
  EXPECT_EQ(NumberWords[0], 682);
  EXPECT_EQ(NumberWords[19], 619);
  EXPECT_EQ(OrdinalWords[0], 620);
  EXPECT_EQ(OrdinalWords[18], 638);
  EXPECT_EQ(OrdinalWords[19], 639);
  EXPECT_EQ(OrdinalWords[20], 640);
  EXPECT_EQ(TensWords[2], 660);
  EXPECT_EQ(TensWords[5], 663);
  EXPECT_EQ(DayNameWords[0], 653);
  EXPECT_EQ(DayNameWords[6], 659);
  EXPECT_EQ(MonthWords[0], 641);
  EXPECT_EQ(MonthWords[11], 652);
  EXPECT_EQ(PhraseClips.gap, 677);
  EXPECT_EQ(PhraseClips.chime, 679);
}

TEST(ClipCatalogueTest, PlayClipPlaysInPlaceOrRefusesSilently) {
  testing::FakeSound sound;
  for (ClipId id : {0, 600, 683}) EXPECT_FALSE(PlayClip(sound, ProgramModule(), id));
  EXPECT_TRUE(sound.requests.empty());
  EXPECT_TRUE(PlayClip(sound, ProgramModule(), 601));
  EXPECT_TRUE(PlayClip(sound, ProgramModule(), 682));
  ASSERT_EQ(sound.requests.size(), 2u);
  EXPECT_EQ(sound.images[0], FindClip(ProgramModule(), 601).data);  // no copy
}

TEST(ClipCatalogueTest, ModulesOtherThanTheProgramsAreSearchedToo) {
  static const uint8_t bytes[] = "RIFF";
  const ClipModule::Entry entries[] = {{7, bytes, bytes + 4}, {9, bytes, bytes + 2}};
  const ClipModule module{entries, 2};
  EXPECT_EQ(FindClip(module, 9).size, 2u);
  EXPECT_EQ(FindClip(module, 8).data, nullptr);
  EXPECT_EQ(FindClip(module, 601).data, nullptr);
}

}  // namespace
}  // namespace morrowby
