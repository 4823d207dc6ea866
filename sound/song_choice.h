// What a run plays, and playing it: silence, the date and time, or a song of the list.
#pragma once

#include <functional>
#include <string>

#include "sound/announcement.h"
#include "sound/sound_service.h"
#include "store/file_result.h"
#include "store/song_list.h"

namespace morrowby {

// What a run plays.
struct RunSound {
  enum Kind { kSilence, kAnnouncement, kSong };
  Kind kind = kSong;
  int slot = -1;  // for a song: 0..9, or -1 when no slot is chosen
};

// The one decision on the list's PlayMode: silence, the announcement, or a song whose
// slot is drawn with RandomBelow of the song count, taken in turn (advancing
// SerialPosition in `list`), or that of the start-up weekday. Damaged values never
// reach outside the ten slots: the count is taken within 0..10, a position outside
// 0..9 restarts at slot 0, and a value no mode stands for takes the song path without
// choosing a slot. `random_below` is RandomBelow in the program.
RunSound ChooseRunSound(SongListRecord& list, const StartUpTime& time,
                        const std::function<int(int)>& random_below);

// Where a run's step tells of a file it could not write: what failed, and why.
using FaultReport = std::function<void(const std::string& what, const FileResult& result)>;

// The sound of a run on the program's song list, as ChooseRunSound decides: a serial
// turn is taken under the list file's lock and saved before the song starts (never
// over a file longer than a list: the song plays all the same; a turn not saved goes
// to `report` first); the chosen slot plays unless it is empty. Returns when the
// sound has been queued.
void MakeGreetingSound(SoundService& sound, const StartUpTime& time, const FaultReport& report);

}  // namespace morrowby
