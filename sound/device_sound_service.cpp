// The sources of samples: what each request of the sound service writes to the
// device, and what plays when a named sound cannot. The stream at the sound server is
// named for the request that opens the device: a song by its file name, the clips as
// the date and time they speak.
#include "sound/device_sound_service.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include "sound/pcm_format.h"
#include "sound/sdl_audio_output.h"
#include "sound/sndfile_reader.h"
#include "sound/sound_theme.h"
#include "sound/wave_image.h"
#include "store/user_faults.h"
#include "store/translation.h"

namespace morrowby {
namespace {

constexpr std::size_t kFileBlockFrames = 4096;
constexpr std::size_t kImageSliceBytes = 4096;

// A short two-note beep, for a machine with no sound theme at all.
std::vector<float> BeepTone(int rate) {
  std::vector<float> tone(static_cast<std::size_t>(rate) * 3 / 10);
  for (std::size_t i = 0; i < tone.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double freq = i < tone.size() / 2 ? 880.0 : 660.0;
    const double envelope = std::min(1.0, std::min(t, 0.3 - t) / 0.01);
    tone[i] = static_cast<float>(0.3 * envelope * std::sin(2 * M_PI * freq * t));
  }
  return tone;
}

class DeviceSoundService final : public SoundService {
 public:
  void PlayNamedSound(const std::string& name) override {
    if (!output_.Usable()) return;
    output_.NameStream(name.substr(name.rfind('/') + 1));
    const std::string theme_file = FindThemeSound(name);
    if (!theme_file.empty() && PlayFile(theme_file)) return;
    if (PlayFile(name)) return;
    if (!output_.Usable()) return;
    std::fprintf(stderr, Tr("morrowby: cannot play \"%s\"; playing the default sound\n"),
                 name.c_str());
    struct stat st;
    const std::string why = stat(name.c_str(), &st) != 0 ? std::strerror(errno)
                            : !S_ISREG(st.st_mode)      ? Tr("not a regular file")
                                                        : Tr("not a sound file that can be played here");
    NoteUserFault({Tr("Morrowby cannot play a song"),
                   TrFormat("%s: %s. The warning sound played instead; choose the song again "
                            "in Morrowby Setup.", name.c_str(), why.c_str())});
    PlayDefaultSound();
  }

  void PlayImage(const uint8_t* image, std::size_t size) override {
    WaveView view;
    if (!ParseWaveImage(image, size, &view) || !output_.Usable()) return;
    output_.NameStream("Date and time");  // the clips are the spoken date and time
    const PcmFormat fmt{view.bits == 8 ? SampleType::kU8 : SampleType::kS16, view.channels,
                        view.rate};
    // Fed in slices straight from the image, so the first samples reach the device
    // before the whole clip has been converted. Slices hold whole frames.
    const std::size_t slice = kImageSliceBytes - kImageSliceBytes % fmt.FrameBytes();
    for (std::size_t at = 0; at < view.bytes; at += slice)
      if (!output_.Write(fmt, view.samples + at, std::min(slice, view.bytes - at))) break;
    output_.EndRequest();
  }

  void PlaySilence(int milliseconds) override {
    if (milliseconds <= 0 || !output_.Usable()) return;
    // Silence goes through the converter in use, so it queues behind what is still
    // inside it rather than jumping ahead. Whole frames only: the converter refuses a
    // partial one, and with it the whole block.
    const PcmFormat fmt = output_.FormatInUse();
    const std::size_t frame = fmt.FrameBytes();
    std::size_t frames = static_cast<std::size_t>(fmt.rate) * milliseconds / 1000;
    const std::vector<uint8_t> block(frame * 1024, fmt.SilenceByte());
    while (frames > 0) {
      const std::size_t n = std::min<std::size_t>(frames, 1024);
      if (!output_.Write(fmt, block.data(), n * frame)) return;
      frames -= n;
    }
    output_.EndRequest();
  }

  void Drain() override { output_.Drain(); }

  void WhenDeviceOpens(std::function<void()> callback) override {
    output_.WhenOpened(std::move(callback));
  }

 private:
  bool PlayFile(const std::string& path) {
    SoundFileReader reader;
    if (!reader.Open(path)) return false;
    const PcmFormat fmt = reader.Format();
    bool played_any = false;
    const float* data = nullptr;
    while (std::size_t frames = reader.Read(kFileBlockFrames, &data)) {
      if (!output_.Write(fmt, data, frames * fmt.FrameBytes())) break;
      played_any = true;
    }
    output_.EndRequest();
    return played_any;
  }

  void PlayDefaultSound() {
    const std::string warning = FindThemeSound("dialog-warning");
    if (!warning.empty() && PlayFile(warning)) return;
    const int rate = 22050;
    const std::vector<float> tone = BeepTone(rate);
    output_.Write({SampleType::kF32, 1, rate}, tone.data(), tone.size() * sizeof(float));
    output_.EndRequest();
  }

  AudioOutput output_;
};

}  // namespace

std::unique_ptr<SoundService> MakeDeviceSoundService() {
  return std::make_unique<DeviceSoundService>();
}

}  // namespace morrowby
