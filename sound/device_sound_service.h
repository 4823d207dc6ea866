// The program's sound service on the real audio device: songs and theme sounds
// decoded from files, clips from memory, silence, and the default sound, all written
// to the run's one AudioOutput.
//
// Nothing is opened until the first request with samples. Requests come from one
// thread at a time; a caller that hands the service to another thread does so with a
// happens-before edge, such as a join.
#pragma once

#include <memory>

#include "sound/sound_service.h"

namespace morrowby {

// Called while no other thread of the program runs (see AudioOutput).
std::unique_ptr<SoundService> MakeDeviceSoundService();

}  // namespace morrowby
