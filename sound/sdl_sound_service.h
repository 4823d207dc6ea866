// The program's sound service on SDL2 (output) and libsndfile (decoding songs).
//
// SDL's audio (and the connection to the sound server) starts at once on a helper
// thread, so that it overlaps the window set-up; the device opens when the first
// samples are waiting. Both are retried until ten seconds after start-up, because at
// log-in the sound server may still be starting. Requests come from one thread (the
// UI thread); each blocks until its samples are in the device's queue.
#pragma once

#include <memory>

#include "sound/sound_service.h"

namespace morrowby {

// Starts opening the device in the background and returns the service.
std::unique_ptr<SoundService> StartSdlSoundService();

}  // namespace morrowby
