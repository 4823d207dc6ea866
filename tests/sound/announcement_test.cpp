// The announcement's clip sequences: the worked examples, holidays, the day-of-month
// forms with their pause, both clock styles at their edges, and what DateLine values
// switch on.
#include "sound/announcement.h"

#include <gtest/gtest.h>

#include "tests/support/fake_sound.h"
#include "tests/support/temp_folder.h"
#include "store/settings.h"

namespace morrowby {
namespace {

constexpr int P = -1;  // a pause of one unit, in the expected lists below

StartUpTime At(int wday, int mday, int month, int hour, int minute) {
  StartUpTime t;
  t.wday = wday;
  t.mday = mday;
  t.month = month;
  t.hour = hour;
  t.minute = minute;
  return t;
}

// An ordinary day (Monday 6 January) at the given time.
StartUpTime Ordinary(int hour, int minute) { return At(1, 6, 0, hour, minute); }

std::vector<int> Ids(const StartUpTime& t, const std::string& line, int opener = 0) {
  std::vector<int> ids;
  for (const AnnouncementStep& s : BuildAnnouncement(t, line, opener))
    ids.push_back(s.kind == AnnouncementStep::kPause ? P : s.value);
  return ids;
}

using V = std::vector<int>;

TEST(AnnouncementTest, WorkedSentencesInBothClockStyles) {
  EXPECT_EQ(Ids(Ordinary(18, 15), "yyyyyyyyyyy", 0),
            (V{679, 671, 654, 677, 668, 677, 625, 677, 676, 677, 641, 677, 677, 606, 677, 615, 677, 665}));
  EXPECT_EQ(Ids(Ordinary(18, 15), "yyyyyyyyyyn", 1),
            (V{679, 672, 654, 677, 668, 677, 625, 677, 676, 677, 641, 677, 677, 618, 677, 615}));
  EXPECT_EQ(Ids(Ordinary(7, 0), "nnnnnnnynnn"), (V{677, 677, 682, 607, 677, 666}));
  EXPECT_EQ(Ids(Ordinary(21, 5), "nnnnnnnynnn"), (V{677, 677, 660, 601, 677, 682, 605}));
}

TEST(AnnouncementTest, TwelveHourClockHasNoHourZero) {
  EXPECT_EQ(Ids(Ordinary(0, 30), "nnnnnnnynyy"), (V{677, 677, 612, 677, 661, 677, 664}));
  EXPECT_EQ(Ids(Ordinary(0, 0), "nnnnnnnynyy"), (V{677, 677, 612, 677, 667, 664}));
  EXPECT_EQ(Ids(Ordinary(12, 0), "nnnnnnnynyy"), (V{677, 677, 612, 677, 667, 665}));
  EXPECT_EQ(Ids(Ordinary(12, 7), "nnnnnnnynyy"), (V{677, 677, 612, 677, 607, 677, 665}));
  EXPECT_EQ(Ids(Ordinary(23, 59), "nnnnnnnynyy"), (V{677, 677, 611, 677, 663, 609, 677, 665}));
}

TEST(AnnouncementTest, TwentyFourHourMinutesTakeTheZeroWordOnlyBelowTen) {
  EXPECT_EQ(Ids(Ordinary(9, 10), "nnnnnnnynnn"), (V{677, 677, 682, 609, 677, 610}));
  EXPECT_EQ(Ids(Ordinary(9, 9), "nnnnnnnynnn"), (V{677, 677, 682, 609, 677, 682, 609}));
  EXPECT_EQ(Ids(Ordinary(0, 19), "nnnnnnnynnn"), (V{677, 677, 682, 682, 677, 619}));
  EXPECT_EQ(Ids(Ordinary(20, 0), "nnnnnnnynnn"), (V{677, 677, 660, 677, 666}));
}

TEST(AnnouncementTest, RoundTensOfMinutesAreTheTensWordAlone) {
  const int tens[] = {660, 661, 662, 663};
  for (int i = 0; i < 4; ++i) {
    const int m = 20 + 10 * i;
    EXPECT_EQ(Ids(Ordinary(13, m), "nnnnnnnynny"), (V{677, 677, 601, 677, tens[i], 677}));
    EXPECT_EQ(Ids(Ordinary(13, m), "nnnnnnnynnn"), (V{677, 677, 613, 677, tens[i]}));
  }
  EXPECT_EQ(Ids(Ordinary(13, 21), "nnnnnnnynnn"), (V{677, 677, 613, 677, 660, 601}));
}

TEST(AnnouncementTest, DaysFromTwentyOnAreFollowedByThePause) {
  const std::string day_only = "nnnnynnnnnn";
  EXPECT_EQ(Ids(At(0, 23, 4, 9, 0), day_only), (V{660, 622, P, 677}));
  EXPECT_EQ(Ids(At(0, 20, 4, 9, 0), day_only), (V{639, P, 677}));
  EXPECT_EQ(Ids(At(0, 30, 4, 9, 0), day_only), (V{640, P, 677}));
  EXPECT_EQ(Ids(At(0, 31, 4, 9, 0), day_only), (V{661, 620, P, 677}));
  EXPECT_EQ(Ids(At(0, 19, 4, 9, 0), day_only), (V{638, 677}));
  EXPECT_EQ(Ids(At(0, 1, 4, 9, 0), day_only), (V{620, 677}));
}

TEST(AnnouncementTest, HolidaysReplaceTheSentenceWithOrWithoutTheChime) {
  EXPECT_EQ(Ids(At(5, 25, 11, 18, 15), "yyyyyyyyyyy"), (V{679, 681}));
  EXPECT_EQ(Ids(At(5, 25, 11, 18, 15), "nyyyyyyyyyy"), (V{681}));
  EXPECT_EQ(Ids(At(4, 1, 0, 0, 5), ""), (V{680}));
  EXPECT_EQ(Ids(At(4, 1, 0, 0, 5), "ynnnnnnnnnn"), (V{679, 680}));
  EXPECT_EQ(Ids(At(4, 25, 0, 0, 5), "nnnnnnnnnnn"), V{});  // only 25 December
}

TEST(AnnouncementTest, DateLineSwitchesOnlyWithLowerCaseY) {
  EXPECT_EQ(Ids(Ordinary(18, 15), ""), V{});
  EXPECT_EQ(Ids(Ordinary(18, 15), "YYYYYYYYYYY"), V{});
  EXPECT_EQ(Ids(Ordinary(18, 15), "nnyy"), (V{654, 677, 668, 677}));
  // The time's style and AM/PM mean nothing while the time itself is off.
  EXPECT_EQ(Ids(Ordinary(18, 15), "nnnnnnynnyy"), (V{641}));
  // AM/PM only in the twelve-hour style; position 8 is not consulted.
  EXPECT_EQ(Ids(Ordinary(18, 15), "nnnnnnnynyn"), Ids(Ordinary(18, 15), "nnnnnnnynnn"));
  EXPECT_EQ(Ids(Ordinary(18, 15), "nnnnnnnyyyy"), Ids(Ordinary(18, 15), "nnnnnnnynyy"));
  // Month then time: the month runs straight into the two gaps of the time.
  EXPECT_EQ(Ids(Ordinary(6, 0), "nnnnnnyynnn"), (V{641, 677, 677, 682, 606, 677, 666}));
}

TEST(AnnouncementTest, PauseLastsToTheNextStepOfTheProgramClock) {
  EXPECT_EQ(ClockPauseMs(0, 1), 333);
  EXPECT_EQ(ClockPauseMs(1, 1), 332);
  EXPECT_EQ(ClockPauseMs(332, 1), 1);
  EXPECT_EQ(ClockPauseMs(333, 1), 333);
  EXPECT_EQ(ClockPauseMs(1000, 2), 665);
}

TEST(AnnouncementTest, PlaysEveryClipFromTheProgramAndThePauseAsSilence) {
  testing::TempFolder folder;
  ASSERT_TRUE(WriteSetting("DateLine", "nnnnynnnnnn").ok);
  testing::FakeSound sound;
  AnnounceDateTime(sound, At(0, 23, 4, 9, 0));
  ASSERT_EQ(sound.requests.size(), 4u);
  EXPECT_EQ(sound.requests[2].rfind("silence:", 0), 0u);
  ASSERT_EQ(sound.images.size(), 3u);
  EXPECT_EQ(sound.images[0], FindClip(ProgramModule(), 660).data);
  EXPECT_EQ(sound.images[2], FindClip(ProgramModule(), 677).data);
}

TEST(AnnouncementTest, EmptyDateLineOnAnOrdinaryDayPlaysNothing) {
  testing::TempFolder folder;
  testing::FakeSound sound;
  AnnounceDateTime(sound, Ordinary(18, 15));
  EXPECT_TRUE(sound.requests.empty());
}

}  // namespace
}  // namespace morrowby
