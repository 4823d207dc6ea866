// Device control on SDL2: the server search with its retry and its time limit, the
// converter (SDL_AudioStream) into a lock-free ring, and the callback that only copies
// from the ring and pads with silence.
//
// On a saturated machine (every autostart program starting at log-in) two things ran
// the sound dry: the server held only one short device buffer (SDL asks for one), and
// the device started while the ring held two, so that a device thread or a writer held
// up a moment longer left a gap. So the device buffer is long, and the ring fills
// while the device is being opened.
#include "sound/sdl_audio_output.h"

#include <SDL.h>
#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
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
// About 171 ms per callback. SDL asks the sound server to hold one such buffer (its
// target length); the server starts playing at the first write, since it waits for
// half of that, and after each write SDL's device thread or the server may be held up
// some 150 ms before the stream runs dry.
constexpr Uint16 kDeviceFrames = 8192;
// How long after the server has been handed the last sample it is heard: the server's
// own latency, a fraction of its buffer.
constexpr auto kHeardAfter = milliseconds(60);
// Sooner than SDL's device thread comes round to write a buffer.
constexpr auto kPromptStart = milliseconds(10);
// The device starts once this much waits (two callbacks), or the output drains.
constexpr std::size_t kReadySamples = 2 * kDeviceFrames * kDeviceChannels;

// When the device was set playing, and whether it had been open, paused, before.
struct StartOfPlay {
  Clock::time_point at;
  bool after_pause = false;
};
// About 680 ms of stereo at 48 kHz: the decoding thread may be starved that long on
// a busy log-in before the device runs dry.
constexpr std::size_t kRingSamples = 1 << 16;
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

// The search for a device runs on a thread of its own, and the writer goes on filling
// the ring meanwhile, so that the device starts with plenty queued. SDL's connect to a
// sound server also has no time limit: a server that is stopped, or that accepts and
// never answers, would hold its caller for ever. The writer waits for the search only
// where it must, looking at the stop request and the deadline, and past them leaves
// it behind. A search left behind closes what it opens, should the server answer
// after all; the process then never uses SDL's audio again and ends without waiting
// for it (AudioOutput::OpenAbandoned).
std::atomic<bool> open_abandoned{false};

class DeviceSearch {
 public:
  // Starts the search over `drivers` (SDL's names), round after round until `deadline`.
  static std::shared_ptr<DeviceSearch> Start(std::vector<std::string> drivers,
                                             const SDL_AudioSpec& want,
                                             Clock::time_point deadline) {
    auto search = std::make_shared<DeviceSearch>(std::move(drivers), want, deadline);
    // Neither the search nor SDL's device thread, which it starts, takes a signal: the
    // stop signals wake the thread that waits (app/stop_signals.h).
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    try {
      std::thread(&DeviceSearch::Run, search).detach();
    } catch (const std::system_error&) {
      search->Run();  // no thread to spare: the search without its bound
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return search;
  }

  DeviceSearch(std::vector<std::string> drivers, const SDL_AudioSpec& want,
               Clock::time_point deadline)
      : drivers_(std::move(drivers)), want_(want), deadline_(deadline) {}

  // The writer has queued enough: the device plays from now on, or from its opening.
  void Ready() {
    const std::lock_guard<std::mutex> hold(lock_);
    ready_ = true;
    if (device_ != 0 && !started_) Start();
  }

  // The device found (the caller owns it from now on), or 0 once the search failed, a
  // stop was requested or the deadline passed.
  SDL_AudioDeviceID Wait() {
    std::unique_lock<std::mutex> hold(lock_);
    while (!ended_) {
      if (StopRequested() || Clock::now() >= deadline_) {
        LeaveBehind();
        return 0;
      }
      changed_.wait_for(hold, kStopPoll);
    }
    taken_ = true;
    return device_;
  }

  // After Ready and Wait.
  StartOfPlay Started() {
    const std::lock_guard<std::mutex> hold(lock_);
    return start_;
  }

  // Gives the search up; returns a device it found that nobody took, for the caller
  // to close.
  SDL_AudioDeviceID Abandon() {
    const std::lock_guard<std::mutex> hold(lock_);
    if (!ended_) LeaveBehind();
    const SDL_AudioDeviceID device = taken_ ? 0 : device_;
    taken_ = true;
    return device;
  }

 private:
  void LeaveBehind() {
    abandoned_ = true;
    open_abandoned.store(true, std::memory_order_relaxed);
    changed_.notify_all();
  }

  void Run() {
    SilenceAlsaErrors();
    for (;;) {
      for (const std::string& driver : drivers_) {
        const SDL_AudioDeviceID device = TryDriver(driver);
        const std::lock_guard<std::mutex> hold(lock_);
        if (abandoned_) {
          if (device != 0) SDL_CloseAudioDevice(device), SDL_QuitSubSystem(SDL_INIT_AUDIO);
          return;
        }
        if (device != 0) {
          device_ = device;
          opened_ = Clock::now();
          if (ready_) Start();
          return End(device);
        }
      }
      std::unique_lock<std::mutex> hold(lock_);
      if (Clock::now() >= deadline_) return End(0);
      changed_.wait_until(hold, std::min(Clock::now() + kRetryPause, deadline_),
                          [this] { return abandoned_; });
      if (abandoned_) return;
    }
  }

  void Start() {
    SDL_PauseAudioDevice(device_, 0);
    started_ = true;
    start_.at = Clock::now();
    start_.after_pause = start_.at - opened_ > kPromptStart;
  }

  void End(SDL_AudioDeviceID device) {
    device_ = device;
    ended_ = true;
    changed_.notify_all();
  }

  SDL_AudioDeviceID TryDriver(const std::string& driver) {
    SDL_SetHint(SDL_HINT_AUDIODRIVER, driver.c_str());
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
    // No changes allowed: SDL converts to what the hardware takes, and the samples
    // already queued are in this format.
    SDL_AudioSpec want = want_;
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device == 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return device;
  }

  const std::vector<std::string> drivers_;
  const SDL_AudioSpec want_;
  const Clock::time_point deadline_;
  std::mutex lock_;
  std::condition_variable changed_;
  bool ended_ = false;      // the search is over: device_ is what it found
  bool abandoned_ = false;  // nobody waits for it any more
  bool ready_ = false;      // the writer has queued enough
  bool started_ = false;    // set playing
  bool taken_ = false;      // the writer owns the device
  SDL_AudioDeviceID device_ = 0;
  Clock::time_point opened_;
  StartOfPlay start_;
};

}  // namespace

class AudioOutput::Device {
 public:
  Device() : open_deadline_(Clock::now() + kOpenDeadline) { DescribeProgramToServer(); }
  ~Device() { Close(); }

  bool Write(const PcmFormat& fmt, const void* data, std::size_t bytes) {
    if (gave_up_) return false;
    if (stream_ == nullptr || fmt != stream_format_) {
      FlushConverter();
      // Converters are made only while no search runs: SDL's audio start-up sets what
      // a new converter reads.
      if (gave_up_ || (search_ != nullptr && !WaitForDevice())) return false;
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
    if (!playing_ && ring_.Queued() >= kReadySamples) Play();
  }

  void Drain() {
    if (gave_up_) return;
    FlushConverter();
    if (!playing_ && ring_.Queued() > 0) Play();
    if (playing_) WaitUntilPlayed();
  }

  bool Usable() const { return !gave_up_; }

  void NameStream(const std::string& name) { stream_name_ = name; }

  void WhenOpened(std::function<void()> callback) { when_opened_ = std::move(callback); }

 private:
  // Starts the search for the device that plays: each driver in turn (or only the one
  // SDL_AUDIODRIVER names), round after round until the deadline, since at log-in the
  // sound server may come up after the program.
  void StartSearch() {
    if (search_ != nullptr || gave_up_) return;
    // The programs answer SIGTERM and SIGINT themselves (app/stop_signals.h).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, stream_name_.c_str());
    std::vector<std::string> drivers;
    if (const char* chosen = ChosenDriver())
      drivers.push_back(chosen);
    else
      for (const Driver& d : kDrivers) drivers.push_back(d.sdl_name);
    SDL_AudioSpec want{};
    want.freq = kDeviceRate;
    want.format = AUDIO_S16SYS;
    want.channels = kDeviceChannels;
    want.samples = kDeviceFrames;
    want.callback = &Device::Callback;
    want.userdata = this;
    search_ = DeviceSearch::Start(std::move(drivers), want, open_deadline_);
  }

  // Tells the search to start the device as soon as it is open.
  void Ready() {
    StartSearch();
    if (!ready_ && search_ != nullptr) search_->Ready(), ready_ = true;
  }

  // Waits for the search, if need be, and takes the device it found.
  bool WaitForDevice() {
    if (device_ != 0) return true;
    if (gave_up_) return false;
    StartSearch();
    device_ = search_->Wait();
    if (device_ == 0) {
      if (StopRequested()) return Stop();
      const char* chosen = ChosenDriver();
      GiveUp(chosen != nullptr ? std::string(chosen) : AllDriverNames());
      return false;
    }
    audio_up_ = true;
    return true;
  }

  // The device plays what the ring holds.
  bool Play() {
    if (playing_) return true;
    Ready();
    if (!WaitForDevice()) return false;
    playing_ = true;
    Settled();
    return true;
  }

  static const char* ChosenDriver() {
    const char* chosen = std::getenv("SDL_AUDIODRIVER");
    return chosen != nullptr && *chosen != '\0' ? chosen : nullptr;
  }

  static std::string AllDriverNames() {
    std::string names;
    for (const Driver& d : kDrivers) names += (names.empty() ? "" : ", ") + std::string(d.shown_name);
    return names;
  }

  void GiveUp(const std::string& tried) {
    std::fprintf(stderr, Tr("morrowby: no sound server answered within %d s (%s); staying silent\n"),
                 kOpenDeadlineSeconds, tried.c_str());
    gave_up_ = true;
    NoteUserFault({Tr("Morrowby heard no sound server"),
                   TrFormat("No sound server answered within %d s (%s), so Morrowby stayed silent.",
                            kOpenDeadlineSeconds, tried.c_str())});
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
    if (search_ != nullptr) {
      if (const SDL_AudioDeviceID found = search_->Abandon()) device_ = found, audio_up_ = true;
    }
    search_ = nullptr;
    playing_ = false;
    if (device_ != 0) SDL_CloseAudioDevice(device_), device_ = 0;
    if (audio_up_) SDL_QuitSubSystem(SDL_INIT_AUDIO), audio_up_ = false;
  }

  // The device's own thread: copy what is queued, pad the rest with silence. The count
  // goes first, so that whoever sees the ring emptied sees this callback counted.
  static void SDLCALL Callback(void* userdata, Uint8* out, int len) {
    auto* self = static_cast<Device*>(userdata);
    if (self->callbacks_.fetch_add(1, std::memory_order_acq_rel) == 0)
      self->first_callback_.store(Clock::now(), std::memory_order_release);
    auto* samples = reinterpret_cast<int16_t*>(out);
    const std::size_t want = static_cast<std::size_t>(len) / sizeof(int16_t);
    const std::size_t got = self->ring_.Pop(samples, want);
    if (got < want) std::memset(samples + got, 0, (want - got) * sizeof(int16_t));
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

  // Pushes samples into the ring, sleeping while it is full. The search for the device
  // starts with the first samples; a full ring waits for it.
  bool Queue(const int16_t* samples, std::size_t count) {
    auto last_progress = Clock::now();
    std::size_t last_read = ring_.ReadCount();
    while (count > 0) {
      const std::size_t pushed = ring_.Push(samples, count);
      samples += pushed;
      count -= pushed;
      if (ring_.Queued() >= kReadySamples) Ready();
      StartSearch();
      if (count == 0) break;
      if (!playing_) {
        if (!Play()) return false;
        last_progress = Clock::now();
        continue;
      }
      if (!WaitForProgress(&last_progress, &last_read)) return false;
    }
    return true;
  }

  void WaitUntilPlayed() {
    auto last_progress = Clock::now();
    std::size_t last_read = ring_.ReadCount();
    while (ring_.Queued() > 0)
      if (!WaitForProgress(&last_progress, &last_read)) return;
    // The server plays the callbacks' buffers one after the other, behind the silence
    // that SDL writes while the device is paused: set playing as it opened, the device
    // had written none if its first callback came promptly, else one buffer; paused
    // longer, as much as the server holds, two.
    const unsigned handed = callbacks_.load(std::memory_order_acquire);
    const auto first = first_callback_.load(std::memory_order_acquire);
    const StartOfPlay start = search_->Started();
    const int ahead = start.after_pause ? 2 : first - start.at > kPromptStart ? 1 : 0;
    const int64_t buffers = int64_t{handed} + ahead;
    const auto heard = first + kHeardAfter +
                       std::chrono::microseconds(buffers * kDeviceFrames * 1000000 / kDeviceRate);
    const auto deadline = std::min(heard, Clock::now() + kStallLimit);
    while (Clock::now() < deadline && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_PLAYING &&
           !StopRequested())
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
  std::shared_ptr<DeviceSearch> search_;  // once started
  bool audio_up_ = false;
  bool ready_ = false;  // the search has been told to start the device
  bool playing_ = false;
  bool gave_up_ = false;
  SDL_AudioDeviceID device_ = 0;
  SDL_AudioStream* stream_ = nullptr;
  PcmFormat stream_format_;
  int64_t stream_in_frames_ = 0;
  int64_t stream_out_frames_ = 0;
  SampleRing<kRingSamples> ring_;
  std::atomic<unsigned> callbacks_{0};
  std::atomic<Clock::time_point> first_callback_{};
};

AudioOutput::AudioOutput() : device_(std::make_unique<Device>()) {}
bool AudioOutput::OpenAbandoned() { return open_abandoned.load(std::memory_order_relaxed); }
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
