// Device control on SDL2: the server search with its retry, the converter
// (SDL_AudioStream) into a lock-free ring, and the callback that only copies from the
// ring and pads with silence.
#include "sound/sdl_audio_output.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "sound/sample_ring.h"
#include "sound/stop_request.h"
#include "store/translation.h"
#include "store/user_faults.h"

namespace morrowby {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kDeviceRate = 48000;
constexpr int kDeviceChannels = 2;
constexpr Uint16 kDeviceFrames = 2048;  // about 43 ms: rides out a busy moment at log-in
// About 680 ms of stereo at 48 kHz: the decoding thread may be starved that long on
// a busy log-in before the device runs dry.
constexpr std::size_t kRingSamples = 1 << 16;
// The device starts once two of its buffers wait: its first callbacks fill the
// server's whole buffer at once and must find enough.
constexpr std::size_t kStartSamples = 2 * kDeviceFrames * kDeviceChannels;
constexpr int kOpenDeadlineSeconds = 10;
constexpr auto kOpenDeadline = std::chrono::seconds(kOpenDeadlineSeconds);
constexpr auto kStallLimit = std::chrono::seconds(3);
constexpr auto kRetryPause = milliseconds(250);
// The longest any wait goes without looking at the stop request.
constexpr auto kStopPoll = milliseconds(50);

struct Driver {
  const char* sdl_name;
  const char* shown_name;  // as a user knows it
};
constexpr Driver kDrivers[] = {
    {"pulseaudio", "PulseAudio"},
    {"pipewire", "PipeWire"},
    {"alsa", "ALSA"},
};

SDL_AudioFormat SdlFormat(SampleType type) {
  switch (type) {
    case SampleType::kU8:
      return AUDIO_U8;
    case SampleType::kS16:
      return AUDIO_S16SYS;
    case SampleType::kF32:
      break;
  }
  return AUDIO_F32SYS;
}

// ALSA prints a page of errors on a machine without a sound card; the program
// reports a missing device in one line of its own instead.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
void SilenceAlsaErrors() {
  void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
  if (alsa == nullptr) return;
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetHandler = int (*)(Handler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
    set(&QuietAlsa);
}

// How the sound server shows the program's stream: its name and icon, and the role
// "event", so that the desktop's system-sound volume and do-not-disturb rules apply.
// SDL's PulseAudio driver takes neither icon nor role from hints, and its PipeWire
// driver no icon; the two client libraries (PulseAudio's also reaches PipeWire,
// through pipewire-pulse) read them from the environment, where a user's own values
// stay. Set while no other thread runs: the device is made at start-up.
void DescribeProgramToServer() {
  setenv("PULSE_PROP_application.icon_name", "morrowby", 0);
  setenv("PULSE_PROP_media.role", "event", 0);
  setenv("PIPEWIRE_PROPS", "{ application.icon-name = \"morrowby\" }", 0);
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Morrowby");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "event");
}

}  // namespace

class AudioOutput::Device {
 public:
  Device() : open_deadline_(Clock::now() + kOpenDeadline) { DescribeProgramToServer(); }
  ~Device() { Close(); }

  bool Write(const PcmFormat& fmt, const void* data, std::size_t bytes) {
    if (gave_up_) return false;
    if (stream_ == nullptr || fmt != stream_format_) {
      FlushConverter();
      if (gave_up_) return false;
      stream_ = SDL_NewAudioStream(SdlFormat(fmt.type), static_cast<Uint8>(fmt.channels),
                                   fmt.rate, AUDIO_S16SYS, kDeviceChannels, kDeviceRate);
      if (stream_ == nullptr) return false;
      stream_format_ = fmt;
      stream_in_frames_ = 0;
      stream_out_frames_ = 0;
    }
    if (SDL_AudioStreamPut(stream_, data, static_cast<int>(bytes)) != 0) return false;
    stream_in_frames_ += static_cast<int64_t>(bytes / fmt.FrameBytes());
    return Pump(INT64_MAX);
  }

  PcmFormat FormatInUse() const {
    return stream_ != nullptr ? stream_format_
                              : PcmFormat{SampleType::kS16, kDeviceChannels, kDeviceRate};
  }

  void EndRequest() {
    if (device_ == 0 && ring_.Queued() > 0) OpenDevice();
  }

  void Drain() {
    if (gave_up_) return;
    FlushConverter();
    EndRequest();
    if (device_ != 0) WaitUntilPlayed();
  }

  bool Usable() const { return !gave_up_; }

  void NameStream(const std::string& name) { stream_name_ = name; }

  void WhenOpened(std::function<void()> callback) { when_opened_ = std::move(callback); }

 private:
  // Opens the device that plays: each driver in turn, round after round until the
  // deadline, since at log-in the sound server may come up after the program.
  bool OpenDevice() {
    if (device_ != 0) return true;
    if (gave_up_) return false;
    // The programs answer SIGTERM and SIGINT themselves (app/stop_signals.h).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    const char* chosen = std::getenv("SDL_AUDIODRIVER");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, stream_name_.c_str());
    for (;;) {
      if (StopRequested()) return Stop();
      if (chosen != nullptr && *chosen != '\0') {
        if (TryDriver({chosen, chosen})) return true;
      } else {
        for (const Driver& d : kDrivers)
          if (TryDriver(d)) return true;
      }
      if (Clock::now() >= open_deadline_) {
        GiveUp(chosen != nullptr && *chosen != '\0' ? chosen : AllDriverNames().c_str());
        return false;
      }
      for (auto pause = Clock::now() + kRetryPause; Clock::now() < pause && !StopRequested();)
        std::this_thread::sleep_for(kStopPoll);
    }
  }

  bool TryDriver(const Driver& driver) {
    if (!alsa_quieted_) SilenceAlsaErrors(), alsa_quieted_ = true;
    SDL_SetHint(SDL_HINT_AUDIODRIVER, driver.sdl_name);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{};
    want.freq = kDeviceRate;
    want.format = AUDIO_S16SYS;
    want.channels = kDeviceChannels;
    want.samples = kDeviceFrames;
    want.callback = &Device::Callback;
    want.userdata = this;
    // No changes allowed: SDL converts to what the hardware takes, and the samples
    // already queued are in this format.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device_ == 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    audio_up_ = true;
    SDL_PauseAudioDevice(device_, 0);
    Settled();
    return true;
  }

  static std::string AllDriverNames() {
    std::string names;
    for (const Driver& d : kDrivers) names += (names.empty() ? "" : ", ") + std::string(d.shown_name);
    return names;
  }

  void GiveUp(const char* tried) {
    std::fprintf(stderr, Tr("morrowby: no sound server answered within %d s (%s); staying silent\n"),
                 kOpenDeadlineSeconds, tried);
    gave_up_ = true;
    NoteUserFault({Tr("Morrowby heard no sound server"),
                   TrFormat("No sound server answered within %d s (%s), so Morrowby stayed silent.",
                            kOpenDeadlineSeconds, tried)});
    ring_.Reset();  // no consumer runs
    Settled();
  }

  // The device is open, or will not be: whoever waited for that is told, once.
  void Settled() {
    if (!when_opened_) return;
    const std::function<void()> callback = std::move(when_opened_);
    when_opened_ = nullptr;
    callback();
  }

  // Told to stop: what is queued is dropped, and every later write is refused.
  bool Stop() {
    Close();
    ring_.Reset();
    gave_up_ = true;
    return false;
  }

  void Close() {
    if (stream_ != nullptr) SDL_FreeAudioStream(stream_), stream_ = nullptr;
    if (device_ != 0) SDL_CloseAudioDevice(device_), device_ = 0;
    if (audio_up_) SDL_QuitSubSystem(SDL_INIT_AUDIO), audio_up_ = false;
  }

  // The device's own thread: copy what is queued, pad the rest with silence.
  static void SDLCALL Callback(void* userdata, Uint8* out, int len) {
    auto* self = static_cast<Device*>(userdata);
    auto* samples = reinterpret_cast<int16_t*>(out);
    const std::size_t want = static_cast<std::size_t>(len) / sizeof(int16_t);
    const std::size_t got = self->ring_.Pop(samples, want);
    if (got < want) std::memset(samples + got, 0, (want - got) * sizeof(int16_t));
    self->callbacks_.fetch_add(1, std::memory_order_release);
  }

  // Ends the converter in use and queues everything it still holds. SDL's resampler
  // keeps back the last few dozen milliseconds even when flushed, so it is given a
  // little silence to push them out, and exactly the frames that the input's length
  // calls for are queued: nothing of the sound is lost and no silence is added.
  void FlushConverter() {
    if (stream_ == nullptr) return;
    const int64_t expected = stream_in_frames_ * kDeviceRate / stream_format_.rate;
    const std::vector<uint8_t> pad(stream_format_.FrameBytes() *
                                       static_cast<std::size_t>(stream_format_.rate / 10),
                                   stream_format_.SilenceByte());
    SDL_AudioStreamPut(stream_, pad.data(), static_cast<int>(pad.size()));
    SDL_AudioStreamFlush(stream_);
    Pump(expected);
    SDL_FreeAudioStream(stream_);
    stream_ = nullptr;
  }

  // Moves what the converter has ready into the ring, up to `limit` output frames in
  // all for this converter.
  bool Pump(int64_t limit) {
    int16_t block[2048];
    constexpr std::size_t kOutFrame = sizeof(int16_t) * kDeviceChannels;
    for (;;) {
      const int got = SDL_AudioStreamGet(stream_, block, sizeof block);
      if (got <= 0) return got == 0;
      const int64_t frames = std::min<int64_t>(got / static_cast<int64_t>(kOutFrame),
                                               limit - stream_out_frames_);
      if (frames <= 0) return true;
      stream_out_frames_ += frames;
      if (!Queue(block, static_cast<std::size_t>(frames) * kDeviceChannels)) return false;
    }
  }

  // Pushes samples into the ring, sleeping while it is full.
  bool Queue(const int16_t* samples, std::size_t count) {
    auto last_progress = Clock::now();
    std::size_t last_read = ring_.ReadCount();
    while (count > 0) {
      const std::size_t pushed = ring_.Push(samples, count);
      samples += pushed;
      count -= pushed;
      if (device_ == 0 && ring_.Queued() >= kStartSamples && !OpenDevice()) return false;
      if (count == 0) break;
      if (device_ == 0 && !OpenDevice()) return false;
      if (!WaitForProgress(&last_progress, &last_read)) return false;
    }
    return true;
  }

  void WaitUntilPlayed() {
    auto last_progress = Clock::now();
    std::size_t last_read = ring_.ReadCount();
    while (ring_.Queued() > 0)
      if (!WaitForProgress(&last_progress, &last_read)) return;
    // Two more callbacks: the last samples are then with the driver.
    const unsigned target = callbacks_.load(std::memory_order_acquire) + 2;
    const auto deadline = Clock::now() + kStallLimit;
    while (callbacks_.load(std::memory_order_acquire) < target && Clock::now() < deadline &&
           SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_PLAYING && !StopRequested())
      std::this_thread::sleep_for(milliseconds(5));
  }

  // Waits a moment for the callback to take samples. Gives up (and lets the device
  // go) when it has taken none for a while, so a lost server never hangs the run.
  bool WaitForProgress(Clock::time_point* last_progress, std::size_t* last_read) {
    std::this_thread::sleep_for(milliseconds(5));
    if (StopRequested()) return Stop();
    const std::size_t read = ring_.ReadCount();
    if (read != *last_read) {
      *last_read = read;
      *last_progress = Clock::now();
      return true;
    }
    if (Clock::now() - *last_progress < kStallLimit &&
        SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_PLAYING)
      return true;
    std::fprintf(stderr, Tr("morrowby: the sound device stopped playing\n"));
    Close();
    ring_.Reset();
    gave_up_ = true;
    return false;
  }

  const Clock::time_point open_deadline_;
  std::string stream_name_ = "Morrowby";
  std::function<void()> when_opened_;
  bool alsa_quieted_ = false;
  bool audio_up_ = false;
  bool gave_up_ = false;
  SDL_AudioDeviceID device_ = 0;
  SDL_AudioStream* stream_ = nullptr;
  PcmFormat stream_format_;
  int64_t stream_in_frames_ = 0;
  int64_t stream_out_frames_ = 0;
  SampleRing<kRingSamples> ring_;
  std::atomic<unsigned> callbacks_{0};
};

AudioOutput::AudioOutput() : device_(std::make_unique<Device>()) {}
AudioOutput::~AudioOutput() = default;

bool AudioOutput::Write(const PcmFormat& format, const void* data, std::size_t bytes) {
  return device_->Write(format, data, bytes);
}
PcmFormat AudioOutput::FormatInUse() const { return device_->FormatInUse(); }
void AudioOutput::NameStream(const std::string& name) { device_->NameStream(name); }
void AudioOutput::EndRequest() { device_->EndRequest(); }

void AudioOutput::WhenOpened(std::function<void()> callback) {
  device_->WhenOpened(std::move(callback));
}
void AudioOutput::Drain() { device_->Drain(); }
bool AudioOutput::Usable() const { return device_->Usable(); }

}  // namespace morrowby
