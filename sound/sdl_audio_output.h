// The run's one audio device, on SDL2: finding a sound server, opening the device,
// converting what is written to the device's format, and the device callback.
//
// Nothing is opened until the first samples are written, so a run that plays nothing
// never connects to a sound server. Then the drivers of the known sound servers are
// tried in turn (or only the one SDL_AUDIODRIVER names), round after round until the
// open deadline after construction, because at log-in the server may still be
// starting; the list and the deadline are kept in sdl_audio_output.cpp alone. The
// writes go on while the device is being opened, so that it starts with plenty
// queued for a busy moment at log-in. Every wait here gives up
// within 50 ms of a stop request (sound/stop_request.h), and the deadline holds even
// while a server that never answers (one stopped, or one that accepts and never
// replies) is being connected to: that connect is left behind on a thread of its own,
// and the process must then end without waiting for it (OpenAbandoned).
//
// Thread rules: one thread at a time writes and drains (the caller hands the object
// on only with a happens-before edge, such as a join). The search for a device runs
// on a thread of the output's own, which touches only SDL and its own state; the
// device callback runs on SDL's own thread and touches nothing but the ring and a
// counter.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "sound/pcm_format.h"

namespace morrowby {

class AudioOutput {
 public:
  // Made while no other thread of the program runs: it tells the sound server's
  // client library the program's icon through the environment.
  AudioOutput();
  ~AudioOutput();
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

  // Converts `bytes` of `format` (whole frames) and queues them behind everything
  // written before; consecutive writes in one format share one converter, so nothing
  // is lost or added where they join. Blocks while the queue is full (the first time,
  // until the device has opened). False when the sound cannot be played (no device
  // within the wait, the device stopped, or a stop request): the caller drops the rest
  // of its request.
  bool Write(const PcmFormat& format, const void* data, std::size_t bytes);

  // The format of the converter in use (what a silence written now should be in, so
  // that it queues behind the converter's contents), or the device's own.
  PcmFormat FormatInUse() const;

  // The sound's name at the sound server (its media.name, as mixers show it). It is
  // taken when the search for the device starts: call it before the first write.
  void NameStream(const std::string& name);

  // Ends a request: once enough is queued for the device to start, waits here for it
  // to open; less is left for the next request or Drain to start.
  void EndRequest();

  // Returns when everything written has been played. The device stays open (closing
  // it can take a device period, and whoever waits for the sound to end should not
  // wait for that too) until the output is destroyed.
  void Drain();

  // Runs `callback` once, on the writing thread, right after the device has started or
  // the sound has been given up; an empty one forgets the last.
  void WhenOpened(std::function<void()> callback);

  // False once no device could be opened in the wait, the device stopped or a stop
  // was requested; every later write is refused at once, so the run never waits twice.
  bool Usable() const;

  // True once a connect was left behind, still waiting for its server: the process
  // then ends with _exit, since the sound library's exit handlers would run under it.
  // Any thread may ask.
  static bool OpenAbandoned();

 private:
  class Device;  // everything that touches SDL
  std::unique_ptr<Device> device_;
};

}  // namespace morrowby
