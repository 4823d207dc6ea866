// RandomBelow must be exactly the program's generator: the same second picks the same
// song on every machine.
#include "sound/random.h"

#include <gtest/gtest.h>

namespace morrowby {
namespace {

TEST(RandomBelowTest, KnownDrawsOfTheGenerator) {
  // Calendar time 1 000 000 000 draws 1175; time 1 draws 346.
  EXPECT_EQ(RandomBelowAt(32768, 1000000000), 1175);
  EXPECT_EQ(RandomBelowAt(10, 1000000000), 5);
  EXPECT_EQ(RandomBelowAt(3, 1000000000), 2);
  EXPECT_EQ(RandomBelowAt(32768, 1), 346);
}

TEST(RandomBelowTest, CountsBelowOneGiveZeroAndResultsStayInRange) {
  EXPECT_EQ(RandomBelowAt(0, 12345), 0);
  EXPECT_EQ(RandomBelowAt(-7, 12345), 0);
  EXPECT_EQ(RandomBelowAt(1, 12345), 0);
  for (int64_t t = 1700000000; t < 1700000400; ++t) {
    const int r = RandomBelowAt(10, t);
    EXPECT_GE(r, 0);
    EXPECT_LT(r, 10);
  }
}

TEST(RandomBelowTest, OnlyTheLow32BitsOfTheTimeSeedTheGenerator) {
  EXPECT_EQ(RandomBelowAt(1000, 5), RandomBelowAt(1000, 5 + (int64_t{1} << 32)));
}

}  // namespace
}  // namespace morrowby
