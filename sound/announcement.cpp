// Building the announcement as a list of steps keeps the rules testable without a
// sound device; AnnounceDateTime only plays the list.
#include "sound/announcement.h"

#include <chrono>
#include <ctime>

#include "sound/random.h"
#include "store/date_line.h"
#include "store/settings.h"

namespace morrowby {
namespace {

// The program clock counts from the program's start.
const auto kProgramStart = std::chrono::steady_clock::now();

enum Position {
  kChime = 0,
  kOpener = 1,
  kWeekday = 2,
  kThe = 3,
  kDay = 4,
  kOf = 5,
  kMonth = 6,
  kTime = 7,
  kAmPm = 9,
};

class StepList {
 public:
  explicit StepList(std::vector<AnnouncementStep>* steps) : steps_(steps) {}
  void Clip(ClipId id) { steps_->push_back({AnnouncementStep::kClip, id}); }
  void Gap() { Clip(PhraseClips.gap); }
  void Pause() { steps_->push_back({AnnouncementStep::kPause, 1}); }

 private:
  std::vector<AnnouncementStep>* steps_;
};

void SayDayOfMonth(StepList& say, int d) {
  if (d >= 1 && d <= 19) {
    say.Clip(OrdinalWords[d - 1]);
  } else if ((d >= 21 && d <= 29) || d == 31) {
    say.Clip(TensWords[d / 10]);
    say.Clip(OrdinalWords[d % 10 - 1]);
    say.Pause();
  } else if (d == 20 || d == 30) {
    say.Clip(OrdinalWords[d == 20 ? 19 : 20]);
    say.Pause();
  }
  say.Gap();
}

void SayTwelveHourTime(StepList& say, int h, int m, bool am_pm) {
  say.Gap();
  say.Gap();
  // A twelve-hour clock has no hour zero: the hour after midnight is twelve.
  say.Clip(h > 12 ? NumberWords[h - 12] : (h == 0 ? NumberWords[12] : NumberWords[h]));
  say.Gap();
  if (m == 0) {
    say.Clip(PhraseClips.whole_hour_12);
  } else if (m <= 19) {
    say.Clip(NumberWords[m]);
    say.Gap();
  } else {
    say.Clip(TensWords[m / 10]);
    if (m % 10 > 0) say.Clip(NumberWords[m % 10]);
    say.Gap();
  }
  if (am_pm) say.Clip(h < 12 ? PhraseClips.am : PhraseClips.pm);
}

void SayTwentyFourHourTime(StepList& say, int h, int m) {
  say.Gap();
  say.Gap();
  if (h < 10) say.Clip(NumberWords[0]);
  if (h <= 19) {
    say.Clip(NumberWords[h]);
  } else {
    say.Clip(TensWords[2]);
    if (h > 20) say.Clip(NumberWords[h - 20]);
  }
  say.Gap();
  if (m == 0) {
    say.Clip(PhraseClips.whole_hour_24);
  } else if (m <= 19) {
    // "oh five", but "ten", not "oh ten".
    if (m <= 9) say.Clip(NumberWords[0]);
    say.Clip(NumberWords[m]);
  } else {
    say.Clip(TensWords[m / 10]);
    if (m % 10 > 0) say.Clip(NumberWords[m % 10]);
  }
}

}  // namespace

std::vector<AnnouncementStep> BuildAnnouncement(const StartUpTime& time,
                                                const std::string& date_line, int opener) {
  std::vector<AnnouncementStep> steps;
  StepList say(&steps);
  const DateWordsChoice words = ParseDateLine(date_line);
  const auto on = [&](int p) { return !words.left_out[p]; };

  if (on(kChime)) say.Clip(PhraseClips.chime);
  if (time.month == 11 && time.mday == 25) {
    say.Clip(PhraseClips.christmas);
    return steps;
  }
  if (time.month == 0 && time.mday == 1) {
    say.Clip(PhraseClips.new_year);
    return steps;
  }
  if (on(kOpener)) say.Clip(PhraseClips.opener[opener == 1 ? 1 : 0]);
  if (on(kWeekday) && time.wday >= 0 && time.wday <= 6) {
    say.Clip(DayNameWords[time.wday]);
    say.Gap();
  }
  if (on(kThe)) {
    say.Clip(PhraseClips.the);
    say.Gap();
  }
  if (on(kDay)) SayDayOfMonth(say, time.mday);
  if (on(kOf)) {
    say.Clip(PhraseClips.of);
    say.Gap();
  }
  if (on(kMonth) && time.month >= 0 && time.month <= 11) say.Clip(MonthWords[time.month]);
  if (!on(kTime) || time.hour < 0 || time.hour > 23 || time.minute < 0 || time.minute > 59)
    return steps;
  if (words.twelve_hour)
    SayTwelveHourTime(say, time.hour, time.minute, on(kAmPm));
  else
    SayTwentyFourHourTime(say, time.hour, time.minute);
  return steps;
}

StartUpTime TakeLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  StartUpTime t;
  t.minute = local.tm_min;
  t.hour = local.tm_hour;
  t.mday = local.tm_mday;
  t.month = local.tm_mon;
  t.wday = local.tm_wday;
  return t;
}

int ClockPauseMs(int64_t now_ms, int units) {
  const int64_t step = now_ms / 333;
  return static_cast<int>((step + units) * 333 - now_ms);
}

void ClockPause(SoundService& sound, int units) {
  const auto now = std::chrono::steady_clock::now() - kProgramStart;
  const int64_t now_ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  sound.PlaySilence(ClockPauseMs(now_ms, units));
}

void AnnounceDateTime(SoundService& sound, const StartUpTime& time) {
  const std::string date_line = ReadSetting("DateLine", kDateLineRoom);
  const int opener = ParseDateLine(date_line).left_out[kOpener] ? 0 : RandomBelow(2);
  const ClipModule& module = ProgramModule();
  for (const AnnouncementStep& step : BuildAnnouncement(time, date_line, opener)) {
    if (step.kind == AnnouncementStep::kClip)
      PlayClip(sound, module, static_cast<ClipId>(step.value));
    else
      ClockPause(sound, step.value);
  }
}

}  // namespace morrowby
