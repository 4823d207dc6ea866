// The sound service: the one seam between the program's sound logic and the sound
// device. The program links only the device implementation; tests record requests.
//
// The contract of every implementation: a request returns when its samples are
// queued, so consecutive requests play back to back with nothing added between them;
// Drain returns when the last sample queued has been heard. So a caller that must not
// go on while a sound is heard (the launch button) drains first. There is no request
// to cut a sound short; a stop request (sound/stop_request.h) makes the device refuse
// what follows. Failures (no device, no server, a file that is not audio) are never
// fatal: the request is skipped, or for songs the default sound plays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace morrowby {

class SoundService {
 public:
  virtual ~SoundService() = default;

  // A sound-theme name (such as "service-login"), else a file path; when neither can
  // be played, the default sound.
  virtual void PlayNamedSound(const std::string& name) = 0;

  // Plays a whole RIFF WAVE image from memory; the samples are read in place, never
  // copied, so the image must outlive the sound.
  virtual void PlayImage(const uint8_t* image, std::size_t size) = 0;

  // Holds the output silent for `milliseconds`, in sequence with the other requests.
  virtual void PlaySilence(int milliseconds) = 0;

  // Returns when the last sample queued has been heard.
  virtual void Drain() = 0;

  // Runs `callback` once, on the requesting thread, as soon as the device is open and
  // its first samples are on their way, or the sound has been given up; an empty one
  // forgets the last. The greeting starts the windows program then, so that loading
  // the toolkit never competes with opening the sound. Without a device: at once.
  virtual void WhenDeviceOpens(std::function<void()> callback) {
    if (callback) callback();
  }
};

}  // namespace morrowby
