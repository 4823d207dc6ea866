// The greeting program's run, all on the calling thread: the steps that need no window
// (the start-up time, HomePath, the current song list, the choice and the serial
// save), the song or the announcement until its last sample has been heard, and the
// hand-over to the windows program (app/hand_over.h).
#pragma once

#include <functional>
#include <string>

#include "sound/sound_service.h"
#include "store/file_result.h"

namespace morrowby {

// The greeting's one edge for a file it could not write: one line on stderr,
// "morrowby: <what>: <reason>". Every fault of the greeting's file steps goes through
// here.
void ReportOnStderr(const std::string& what, const FileResult& result);

// Runs the greeting. Without `sound_wanted` (a run that opens the Setup window at
// once) only the steps that need no window run. `start_windows` starts the windows
// program and returns the hand-over's descriptor (-1 when there is none); it is
// called once: at once for a run without sound, else as soon as the sound device
// has opened (so that loading the toolkit does not delay the first sample), or when
// the sound has been made without one. The state goes into the hand-over once it is
// final, and kSoundEnded once the sound has been heard; a reader that has gone is no
// reason to stop. Returns early, with nothing more played and no windows started,
// once a stop has been requested.
void Greet(SoundService& sound, bool sound_wanted, const std::function<int()>& start_windows);

}  // namespace morrowby
