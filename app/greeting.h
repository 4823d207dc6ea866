// The greeting of a run, begun as the process starts: the steps that need no window
// (the start-up time, HomePath, the current song list) run at once, then the song or
// the announcement plays on a thread of its own while the toolkit comes up. The
// launch window waits for it; so does a run without a display.
#pragma once

#include <atomic>
#include <thread>

#include "sound/song_choice.h"
#include "sound/sound_service.h"

namespace morrowby {

class Greeting {
 public:
  // Runs the set-up steps on the calling thread (so every settings and list write
  // keeps its order), then starts the sound. Until Wait returns, `sound` and the
  // song list belong to the greeting's thread.
  explicit Greeting(SoundService& sound);
  // Waits for the sound, if nobody has.
  ~Greeting();
  Greeting(const Greeting&) = delete;
  Greeting& operator=(const Greeting&) = delete;

  // The start-up time, taken once and kept for the run.
  const StartUpTime& Time() const { return time_; }

  // True once the sound has been played to its last sample.
  bool Played() const { return played_.load(std::memory_order_acquire); }

  // Returns when the sound has been played; afterwards the sound service and the song
  // list belong to the calling thread again.
  void Wait();

 private:
  void Play();

  SoundService& sound_;
  StartUpTime time_;
  std::atomic<bool> played_{false};
  std::thread thread_;
};

}  // namespace morrowby
