// The greeting on its own thread.
#include "app/greeting.h"

#include <system_error>

#include "app/start_up.h"

namespace morrowby {

Greeting::Greeting(SoundService& sound) : sound_(sound), time_(PrepareRun()) {
  try {
    thread_ = std::thread([this] { Play(); });
  } catch (const std::system_error&) {
    Play();  // no thread to be had: greet before the toolkit instead of alongside it
  }
}

Greeting::~Greeting() { Wait(); }

void Greeting::Play() {
  MakeGreetingSound(sound_, time_);
  // The launch button must never be on screen while a sound still plays.
  sound_.Drain();
  played_.store(true, std::memory_order_release);
}

void Greeting::Wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace morrowby
