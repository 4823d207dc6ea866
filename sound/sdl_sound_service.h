// The program's sound service on SDL2 (output) and libsndfile (decoding songs).
//
// One audio device per run. Opening it starts at once on a helper thread, so that it
// overlaps the window set-up, and is retried for up to ten seconds, because at log-in
// the sound server may still be starting. Requests come from one thread (the UI
// thread); each blocks until its samples are in the device's queue.
#pragma once

#include <memory>

#include "sound/sound_service.h"

namespace morrowby {

// Starts opening the device in the background and returns the service.
std::unique_ptr<SoundService> StartSdlSoundService();

}  // namespace morrowby
