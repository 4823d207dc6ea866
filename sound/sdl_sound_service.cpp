// SDL2 output: a helper thread starts SDL's audio; the caller's thread decodes and
// converts (SDL_AudioStream) into a lock-free ring; the device callback only copies
// from the ring and pads with silence. Songs are streamed in blocks from libsndfile,
// so a huge file neither loads whole nor delays the start.
#include "sound/sdl_sound_service.h"

#include <SDL.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <dlfcn.h>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "sound/sample_ring.h"
#include "sound/sound_theme.h"
#include "sound/wave_image.h"

namespace morrowby {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kWantRate = 48000;
constexpr int kWantChannels = 2;
constexpr Uint16 kDeviceFrames = 2048;  // about 43 ms: rides out a busy moment at log-in
constexpr std::size_t kRingSamples = 1 << 14;  // about 170 ms of stereo at 48 kHz
constexpr std::size_t kStartSamples = 2 * kDeviceFrames * kWantChannels;
constexpr auto kOpenDeadline = std::chrono::seconds(10);
constexpr auto kStallLimit = std::chrono::seconds(3);
constexpr int kFileBlockFrames = 4096;

struct SourceFormat {
  SDL_AudioFormat format = 0;
  int channels = 0;
  int rate = 0;
  bool operator==(const SourceFormat& o) const {
    return format == o.format && channels == o.channels && rate == o.rate;
  }
};

// ALSA, which SDL falls back to when no sound server answers, prints a page of
// errors on a machine without a sound card. The program reports a missing device in
// one line of its own instead.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
void SilenceAlsaErrors() {
  void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
  if (alsa == nullptr) return;
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetHandler = int (*)(Handler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
    set(&QuietAlsa);
}

class SdlSoundService final : public SoundService {
 public:
  SdlSoundService() : ring_(kRingSamples) { StartOpening(); }
  ~SdlSoundService() override {
    cancel_ = true;
    if (opener_.joinable()) opener_.join();
    CloseDevice();
    if (sdl_audio_up_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  void PlayNamedSound(const std::string& name) override {
    if (!WaitForAudio()) return;
    const std::string theme_file = FindThemeSound(name);
    if (!theme_file.empty() && PlayFile(theme_file)) return;
    if (PlayFile(name)) return;
    std::fprintf(stderr, "morrowby: cannot play \"%s\"; playing the default sound\n", name.c_str());
    PlayDefaultSound();
  }

  void PlayImage(const uint8_t* image, std::size_t size) override {
    WaveView view;
    if (!ParseWaveImage(image, size, &view)) return;
    if (!WaitForAudio()) return;
    SourceFormat fmt{static_cast<SDL_AudioFormat>(view.bits == 8 ? AUDIO_U8 : AUDIO_S16LSB),
                     view.channels, view.rate};
    // Fed in slices straight from the image, so the first samples reach the device
    // before the whole clip has been converted.
    const std::size_t slice = 4096;
    for (std::size_t at = 0; at < view.bytes; at += slice) {
      const std::size_t n = std::min(slice, view.bytes - at);
      if (!Feed(fmt, view.samples + at, n)) break;
    }
    StartIfWaiting();
  }

  void PlaySilence(int milliseconds) override {
    if (milliseconds <= 0 || !WaitForAudio()) return;
    // Silence goes through the converter in use, so it queues behind what is still
    // inside it rather than jumping ahead.
    const SourceFormat fmt =
        stream_ != nullptr ? stream_format_ : SourceFormat{AUDIO_S16SYS, kWantChannels, kWantRate};
    const std::size_t frame = FrameBytes(fmt);
    std::size_t bytes = frame * static_cast<std::size_t>(fmt.rate) * milliseconds / 1000;
    const std::vector<uint8_t> block(frame * 1024, fmt.format == AUDIO_U8 ? 0x80 : 0);
    while (bytes > 0) {
      const std::size_t n = std::min(bytes, block.size());
      if (!Feed(fmt, block.data(), n)) return;
      bytes -= n;
    }
    StartIfWaiting();
  }

  // Requests come from one thread and each has finished feeding when it returns, so
  // there is never a request in progress to end; what is queued plays out, which is
  // what keeps consecutive clips seamless.
  void Stop() override {}

  void Drain() override {
    if (opener_.joinable()) {
      // Nothing was played: stop trying to open a device nobody needs.
      cancel_ = true;
      opener_.join();
      cancel_ = false;
    }
    if (!sdl_audio_up_ || gave_up_) return;
    FlushStream();
    StartIfWaiting();
    if (device_ == 0) return;
    WaitUntilQueued(0);
    // Two more callbacks: the last samples are then with the driver, and closing the
    // device lets them play out (PulseAudio drains its stream).
    WaitForCallbacks(2);
    // Nothing else plays in this run: let the device go, so that waiting for the
    // launch button costs no CPU. A later request opens it again.
    CloseDevice();
  }

 private:
  // --- device ---------------------------------------------------------------

  // The helper thread only starts SDL's audio subsystem, which connects to the sound
  // server. The device itself is opened when the first samples are waiting (see
  // StartDevice), so the server's stream begins with them rather than with silence.
  void StartOpening() {
    opener_ = std::thread([this] { InitLoop(); });
  }

  void InitLoop() {
    SilenceAlsaErrors();
    while (!cancel_) {
      if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        sdl_audio_up_ = true;
        break;
      }
      last_error_ = SDL_GetError();
      if (Clock::now() >= open_deadline_) break;
      PauseUnlessCancelled();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    init_done_ = true;
    ready_.notify_all();
  }

  void PauseUnlessCancelled() {
    for (int i = 0; i < 10 && !cancel_; ++i) std::this_thread::sleep_for(milliseconds(25));
  }

  // Blocks until the helper thread has started SDL's audio or given up.
  bool WaitForAudio() {
    if (gave_up_) return false;
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return init_done_; });
    lock.unlock();
    if (opener_.joinable()) opener_.join();
    if (!sdl_audio_up_) GiveUp();
    return !gave_up_;
  }

  // Opens the device that plays, retrying until ten seconds after start-up: at log-in
  // the sound server may come up after the program.
  bool StartDevice() {
    if (device_ != 0) return true;
    if (gave_up_ || !sdl_audio_up_) return false;
    SDL_AudioSpec want{};
    want.freq = kWantRate;
    want.format = AUDIO_S16SYS;
    want.channels = kWantChannels;
    want.samples = kDeviceFrames;
    want.callback = &SdlSoundService::Callback;
    want.userdata = this;
    // No changes allowed: SDL converts to what the hardware takes, and the samples
    // already queued are in this format.
    while ((device_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0)) == 0) {
      last_error_ = SDL_GetError();
      if (Clock::now() >= open_deadline_) {
        GiveUp();
        ring_.Reset();  // no consumer runs
        return false;
      }
      // A server that was not up yet is only found by starting the subsystem afresh.
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      PauseUnlessCancelled();
      sdl_audio_up_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  void GiveUp() {
    if (!gave_up_)
      std::fprintf(stderr, "morrowby: no sound device: %s\n", last_error_.c_str());
    gave_up_ = true;  // no second ten-second wait in this run
  }

  void CloseDevice() {
    if (stream_ != nullptr) SDL_FreeAudioStream(stream_), stream_ = nullptr;
    if (device_ != 0) SDL_CloseAudioDevice(device_), device_ = 0;
  }

  // The device's own thread: copy what is queued, pad the rest with silence.
  static void SDLCALL Callback(void* userdata, Uint8* out, int len) {
    auto* self = static_cast<SdlSoundService*>(userdata);
    int16_t* samples = reinterpret_cast<int16_t*>(out);
    const std::size_t want = static_cast<std::size_t>(len) / sizeof(int16_t);
    const std::size_t got = self->ring_.Pop(samples, want);
    if (got < want) std::memset(samples + got, 0, (want - got) * sizeof(int16_t));
    self->callbacks_.fetch_add(1, std::memory_order_release);
  }

  // --- feeding --------------------------------------------------------------

  // Converts `bytes` of `fmt` and queues them. Consecutive requests in the same format
  // share one converter, so nothing is padded or lost where they join.
  bool Feed(const SourceFormat& fmt, const void* data, std::size_t bytes) {
    if (!sdl_audio_up_ || gave_up_) return false;
    if (stream_ == nullptr || !(fmt == stream_format_)) {
      FlushStream();
      stream_ = SDL_NewAudioStream(fmt.format, static_cast<Uint8>(fmt.channels), fmt.rate,
                                   AUDIO_S16SYS, kWantChannels, kWantRate);
      if (stream_ == nullptr) return false;
      stream_format_ = fmt;
      stream_in_frames_ = 0;
      stream_out_frames_ = 0;
    }
    if (SDL_AudioStreamPut(stream_, data, static_cast<int>(bytes)) != 0) return false;
    stream_in_frames_ += bytes / FrameBytes(fmt);
    return PumpStream(INT64_MAX);
  }

  static std::size_t FrameBytes(const SourceFormat& fmt) {
    return SDL_AUDIO_BITSIZE(fmt.format) / 8 * static_cast<std::size_t>(fmt.channels);
  }

  // Ends the converter in use and queues everything it still holds. SDL's resampler
  // keeps back the last few dozen milliseconds even when flushed, so it is given a
  // little silence to push them out, and exactly the frames that the input's length
  // calls for are queued: nothing of the sound is lost and no silence is added.
  void FlushStream() {
    if (stream_ == nullptr) return;
    const int64_t expected = stream_in_frames_ * kWantRate / stream_format_.rate;
    const std::size_t frame = FrameBytes(stream_format_);
    const std::vector<uint8_t> pad(frame * static_cast<std::size_t>(stream_format_.rate / 10),
                                   stream_format_.format == AUDIO_U8 ? 0x80 : 0);
    SDL_AudioStreamPut(stream_, pad.data(), static_cast<int>(pad.size()));
    SDL_AudioStreamFlush(stream_);
    PumpStream(expected);
    SDL_FreeAudioStream(stream_);
    stream_ = nullptr;
  }

  // Moves what the converter has ready into the ring, waiting for room as needed, up
  // to `limit` output frames in all for this converter.
  bool PumpStream(int64_t limit) {
    int16_t block[2048];
    const std::size_t out_frame = sizeof(int16_t) * kWantChannels;
    for (;;) {
      const int got = SDL_AudioStreamGet(stream_, block, sizeof block);
      if (got <= 0) return got == 0;
      int64_t frames = got / static_cast<int64_t>(out_frame);
      frames = std::min(frames, limit - stream_out_frames_);
      if (frames <= 0) return true;
      stream_out_frames_ += frames;
      if (!Queue(block, static_cast<std::size_t>(frames) * kWantChannels)) return false;
    }
  }

  // Pushes samples into the ring, sleeping while it is full. The device starts once two
  // device buffers are waiting (or the request has ended): its first callbacks fill the
  // server's whole buffer at once and must find enough. Gives up (and lets the device go) when the device
  // stops taking samples, so a lost server never hangs.
  bool Queue(const int16_t* samples, std::size_t count) {
    auto last_progress = Clock::now();
    std::size_t last_read = ring_.ReadCount();
    while (count > 0) {
      const std::size_t pushed = ring_.Push(samples, count);
      samples += pushed;
      count -= pushed;
      if (device_ == 0 && ring_.Queued() >= kStartSamples && !StartDevice()) return false;
      if (count == 0) break;
      if (device_ == 0 && !StartDevice()) return false;
      if (!WaitForRoom(&last_progress, &last_read)) return false;
    }
    return true;
  }

  // A short sound that did not fill a device buffer still starts now.
  void StartIfWaiting() {
    if (device_ == 0 && ring_.Queued() > 0) StartDevice();
  }

  void WaitUntilQueued(std::size_t target) {
    auto last_progress = Clock::now();
    std::size_t last_read = ring_.ReadCount();
    while (ring_.Queued() > target)
      if (!WaitForRoom(&last_progress, &last_read)) return;
  }

  void WaitForCallbacks(unsigned count) {
    const unsigned target = callbacks_.load() + count;
    const auto deadline = Clock::now() + kStallLimit;
    while (callbacks_.load() < target && Clock::now() < deadline &&
           SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_PLAYING)
      std::this_thread::sleep_for(milliseconds(5));
  }

  bool WaitForRoom(Clock::time_point* last_progress, std::size_t* last_read) {
    std::this_thread::sleep_for(milliseconds(5));
    const std::size_t read = ring_.ReadCount();
    if (read != *last_read) {
      *last_read = read;
      *last_progress = Clock::now();
      return true;
    }
    if (Clock::now() - *last_progress < kStallLimit &&
        SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_PLAYING)
      return true;
    std::fprintf(stderr, "morrowby: the sound device stopped playing\n");
    CloseDevice();
    gave_up_ = true;
    return false;
  }

  // --- sources --------------------------------------------------------------

  // Streams a sound file through libsndfile. Only regular files are opened, and
  // without blocking, so a FIFO or a device named in the list never hangs the run.
  bool PlayFile(const std::string& path) {
    if (path.empty()) return false;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(fd);
      return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    SF_INFO info{};
    SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (file == nullptr) return false;
    if (info.channels < 1 || info.samplerate < 1000 || info.samplerate > 768000) {
      sf_close(file);
      return false;
    }
    // More than two channels are folded to one here; SDL converts the rest.
    const int out_channels = info.channels <= 2 ? info.channels : 1;
    const SourceFormat fmt{AUDIO_F32SYS, out_channels, info.samplerate};
    std::vector<float> block(static_cast<std::size_t>(kFileBlockFrames) * info.channels);
    std::vector<float> folded;
    bool played_any = false;
    for (;;) {
      const sf_count_t frames = sf_readf_float(file, block.data(), kFileBlockFrames);
      if (frames <= 0) break;
      const float* data = block.data();
      if (out_channels != info.channels) {
        folded.assign(static_cast<std::size_t>(frames), 0.0f);
        for (sf_count_t f = 0; f < frames; ++f) {
          float sum = 0;
          for (int c = 0; c < info.channels; ++c) sum += block[f * info.channels + c];
          folded[f] = sum / info.channels;
        }
        data = folded.data();
      }
      if (!Feed(fmt, data, static_cast<std::size_t>(frames) * out_channels * sizeof(float))) break;
      played_any = true;
    }
    sf_close(file);
    StartIfWaiting();
    return played_any;
  }

  void PlayDefaultSound() {
    const std::string warning = FindThemeSound("dialog-warning");
    if (!warning.empty() && PlayFile(warning)) return;
    // No sound theme installed: a short two-note beep.
    const int rate = 22050;
    std::vector<float> tone(rate * 3 / 10);
    for (std::size_t i = 0; i < tone.size(); ++i) {
      const double t = static_cast<double>(i) / rate;
      const double freq = i < tone.size() / 2 ? 880.0 : 660.0;
      const double envelope = std::min(1.0, std::min(t, 0.3 - t) / 0.01);
      tone[i] = static_cast<float>(0.3 * envelope * std::sin(2 * M_PI * freq * t));
    }
    Feed({AUDIO_F32SYS, 1, rate}, tone.data(), tone.size() * sizeof(float));
    StartIfWaiting();
  }

  SampleRing ring_;
  std::thread opener_;
  std::mutex mutex_;
  std::condition_variable ready_;
  bool init_done_ = false;  // the helper thread has finished, well or not
  std::string last_error_;
  const Clock::time_point open_deadline_ = Clock::now() + kOpenDeadline;
  std::atomic<unsigned> callbacks_{0};
  std::atomic<bool> gave_up_{false};  // the device could not be opened or stopped: skip requests
  std::atomic<bool> cancel_{false};
  bool sdl_audio_up_ = false;  // touched by the opener thread only until it is joined
  SDL_AudioDeviceID device_ = 0;
  SDL_AudioStream* stream_ = nullptr;
  SourceFormat stream_format_;
  int64_t stream_in_frames_ = 0;   // frames put into the converter in use
  int64_t stream_out_frames_ = 0;  // frames queued from it
};

}  // namespace

std::unique_ptr<SoundService> StartSdlSoundService() {
  return std::make_unique<SdlSoundService>();
}

}  // namespace morrowby
