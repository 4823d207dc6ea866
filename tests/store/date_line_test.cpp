// DateLine to button states and back, as the date words window uses them.
#include "store/date_line.h"

#include <gtest/gtest.h>

namespace morrowby {
namespace {

TEST(DateLineTest, AllSpokenWithTwelveHourClockRoundTrips) {
  const DateWordsChoice choice = ParseDateLine("yyyyyyyyyyy");
  for (bool left_out : choice.left_out) EXPECT_FALSE(left_out);
  EXPECT_TRUE(choice.twelve_hour);
  EXPECT_EQ(FormatDateLine(choice), "yyyyyyyyyyy");
}

TEST(DateLineTest, LeavingOutOneWordChangesOnlyItsPosition) {
  DateWordsChoice choice = ParseDateLine("yyyyyyyyyyy");
  choice.left_out[8] = true;  // "fifteen"
  EXPECT_EQ(FormatDateLine(choice), "yyyyyyyynyy");
  choice = ParseDateLine("nnnnnnnnnnn");
  choice.left_out.fill(false);
  EXPECT_EQ(FormatDateLine(choice), "yyyyyyyyyyn");
}

TEST(DateLineTest, MissingShortOrOddValuesLeaveWordsOut) {
  EXPECT_EQ(FormatDateLine(ParseDateLine("")), "nnnnnnnnnnn");
  const DateWordsChoice shortened = ParseDateLine("yy");
  EXPECT_FALSE(shortened.left_out[1]);
  EXPECT_TRUE(shortened.left_out[2]);
  EXPECT_FALSE(shortened.twelve_hour);
  EXPECT_EQ(FormatDateLine(ParseDateLine("YyyyyyyyyyY")), "nyyyyyyyyyn");
  EXPECT_EQ(FormatDateLine(ParseDateLine("yyyyyyyyyyyy")), "yyyyyyyyyyy");  // 12 kept, 11 written
}

}  // namespace
}  // namespace morrowby
