// A sound service that plays nothing: it gathers the samples it is asked to play,
// back to back, and writes them out as one WAV file. This is how the announcement is
// written to a file, with no sound device and no display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sound/sound_service.h"
#include "sound/wave_image.h"
#include "store/atomic_file.h"

namespace morrowby {

class WaveFileWriter : public SoundService {
 public:
  // Gathers samples laid out as `format` says (channels, rate, bits; its samples are
  // not used). Images in any other layout are skipped: nothing is converted.
  explicit WaveFileWriter(const WaveView& format);

  // Skipped: the writer decodes no song files; only images are gathered.
  void PlayNamedSound(const std::string& name) override;
  // Appends the image's samples when it is a PCM image in the writer's layout; any
  // other is skipped and counted.
  void PlayImage(const uint8_t* image, std::size_t size) override;
  int ImagesSkipped() const { return images_skipped_; }
  // Appends `milliseconds` of silence (the mid level 128 for 8-bit, else 0).
  void PlaySilence(int milliseconds) override;
  void Drain() override {}

  // The RIFF WAVE image of everything gathered so far.
  std::string Image() const;

  // Replaces `path` with Image() in one step: the file is either left as it was or
  // complete. The reason of a failure is in the result.
  FileResult WriteTo(const std::string& path) const;

 private:
  WaveView format_;
  std::vector<uint8_t> samples_;
  int images_skipped_ = 0;
};

}  // namespace morrowby
