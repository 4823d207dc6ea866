// The sound service: the one seam between the program's sound logic and the sound
// device. The program links only the device implementation; tests record requests.
//
// Every request is synchronous for its caller and returns when all its samples have
// been handed to the device, so consecutive requests play back to back with nothing
// added between them. There is no stop request: nothing is ever being fed when the
// next request begins, and stopping would only cut the queued tail of the last sound.
// Failures (no device, no server, a file that is not audio) are never fatal: the
// request is skipped, or for songs the default sound plays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace morrowby {

class SoundService {
 public:
  virtual ~SoundService() = default;

  // A sound-theme name (such as "service-login"), else a file path; when neither can
  // be played, the default sound. Returns when the sound has been played.
  virtual void PlayNamedSound(const std::string& name) = 0;

  // Plays a whole RIFF WAVE image from memory; the samples are read in place, never
  // copied. Returns when they have been played.
  virtual void PlayImage(const uint8_t* image, std::size_t size) = 0;

  // Holds the output silent for `milliseconds`, in sequence with the other requests.
  virtual void PlaySilence(int milliseconds) = 0;

  // Waits until nothing is playing any more.
  virtual void Drain() = 0;
};

}  // namespace morrowby
