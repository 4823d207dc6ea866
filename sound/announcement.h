// The spoken date and time: the start-up moment, which clips say it with the words
// that the DateLine setting switches on, and playing them.
//
// The components by DateLine position (how the setting reads is store/date_line.h's):
// 0 chime, 1 "It's", 2 weekday, 3 "the", 4 day of the month, 5 "of", 6 month, 7 the
// time, 8 (stored, not consulted), 9 AM/PM; and the clock style. On 25 December and
// on 1 January a clip of its own replaces the sentence.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sound/clip_catalogue.h"
#include "sound/sound_service.h"

namespace morrowby {

// The part of the start-up time that song choice and the announcement read.
struct StartUpTime {
  int minute = 0;  // 0..59
  int hour = 0;    // 0..23
  int mday = 1;    // day of the month, 1..31
  int month = 0;   // 0 = January
  int wday = 0;    // day of the week, 0 = Sunday
};

// The local time now, broken down.
StartUpTime TakeLocalTime();

struct AnnouncementStep {
  enum Kind { kClip, kPause } kind;
  int value;  // the clip id, or the pause in units of 333 ms
  bool operator==(const AnnouncementStep& o) const { return kind == o.kind && value == o.value; }
};

// The steps that announce `time`. `opener` (0 or 1) picks the recording of "It's".
std::vector<AnnouncementStep> BuildAnnouncement(const StartUpTime& time,
                                                const std::string& date_line, int opener);

// How long a pause of `units` lasts when it begins at program clock `now_ms` (the
// milliseconds since the program started, on a clock that never jumps): until the
// clock reaches the `units`-th next multiple of 333 ms (so 1 unit is 1 to 333 ms).
int ClockPauseMs(int64_t now_ms, int units);

// Holds the sound for ClockPauseMs(now, units). The pause goes into the sound's own
// timeline, so it is heard exactly where it belongs even though sound requests return
// as soon as their samples are queued.
void ClockPause(SoundService& sound, int units);

// Reads DateLine, draws the opener with RandomBelow(2), and plays the announcement
// of `time` from the program's clips. Returns when the last clip has been queued.
void AnnounceDateTime(SoundService& sound, const StartUpTime& time);

}  // namespace morrowby
