// Choosing and playing the song of the run from the song list.
#pragma once

#include <functional>

#include "sound/sound_service.h"
#include "store/song_list.h"

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

struct SongChoice {
  int slot = -1;  // 0..9, or -1 when no slot is chosen
};

// Picks the slot by the list's PlayMode: random (RandomBelow of the song count), serial
// (advances SerialPosition in `list`), or by the start-up weekday. Damaged values never
// reach outside the ten slots: the count is taken within 0..10, a position outside
// 0..9 restarts at slot 0, and a mode outside 0..4 chooses nothing.
// `random_below` is RandomBelow in the program.
SongChoice ChooseSong(SongListRecord& list, const StartUpTime& time,
                      const std::function<int(int)>& random_below);

// The whole song step of a run on the program's song list: chooses the slot (in
// serial mode as one turn under the list file's lock, saved before the song starts,
// never over a file longer than a list: the song plays all the same), then plays
// the slot unless it is empty.
void PlaySong(SoundService& sound, const StartUpTime& time);

}  // namespace morrowby
