// The greeting program's run, all on the calling thread: the steps that need no window
// (the start-up time, HomePath, the current song list, the choice and the serial
// save), the song or the announcement until its last sample has been heard, and the
// hand-over to the windows program (app/hand_over.h).
#pragma once

#include "sound/sound_service.h"

namespace morrowby {

// Runs the greeting. Without `sound_wanted` (a run that opens the Setup window at
// once) only the steps that need no window run. The state goes into `hand_over_fd`
// once it is final, and kSoundEnded once the sound has been heard; -1, or a reader
// that has gone, is no reason to stop. Returns early, with nothing more played, once
// a stop has been requested.
void Greet(SoundService& sound, bool sound_wanted, int hand_over_fd);

}  // namespace morrowby
