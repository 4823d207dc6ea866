// Decoding sound files with libsndfile.
#include "sound/sndfile_reader.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/atomic_file.h"

namespace morrowby {

SoundFileReader::~SoundFileReader() {
  if (file_ != nullptr) sf_close(file_);
}

bool SoundFileReader::Open(const std::string& path) {
  if (file_ != nullptr || path.empty()) return false;
  struct stat st;
  int fd = -1;
  if (!OpenRegularFile(path, &st, &fd).ok) return false;
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  SF_INFO info{};
  SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
  if (file == nullptr) return false;
  if (info.channels < 1 || info.channels > 256 || info.samplerate < 1000 ||
      info.samplerate > 768000) {
    sf_close(file);
    return false;
  }
  file_ = file;
  file_channels_ = info.channels;
  format_ = PcmFormat{SampleType::kF32, info.channels <= 2 ? info.channels : 1, info.samplerate};
  return true;
}

std::size_t SoundFileReader::Read(std::size_t frames, const float** data) {
  if (file_ == nullptr || frames == 0) return 0;
  block_.resize(frames * static_cast<std::size_t>(file_channels_));
  const sf_count_t got = sf_readf_float(file_, block_.data(), static_cast<sf_count_t>(frames));
  if (got <= 0) return 0;
  const std::size_t n = static_cast<std::size_t>(got);
  if (format_.channels == file_channels_) {
    *data = block_.data();
    return n;
  }
  folded_.assign(n, 0.0f);
  for (std::size_t f = 0; f < n; ++f) {
    float sum = 0;
    for (int c = 0; c < file_channels_; ++c) sum += block_[f * file_channels_ + c];
    folded_[f] = sum / static_cast<float>(file_channels_);
  }
  *data = folded_.data();
  return n;
}

}  // namespace morrowby
