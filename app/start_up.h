// The steps of a run that need no window: taking the start-up time, recording the
// start folder, loading the current song list, and making the greeting sound. The
// greeting program runs them (app/greeting.h); the windows program never does.
#pragma once

#include "sound/song_choice.h"
#include "sound/sound_service.h"

namespace morrowby {

// Set-up: takes the local time (returned, kept for the run), clears the list's
// count, position and mode, records HomePath and loads the CurFile list.
StartUpTime PrepareRun();

// The greeting by PlayMode: 4 silence, 3 the date and time, anything else a song
// (chosen, and in serial mode saved, first). Returns when the sound has been queued.
void MakeGreetingSound(SoundService& sound, const StartUpTime& time);

}  // namespace morrowby
