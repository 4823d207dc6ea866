// Reading a sound file (WAV in any common encoding, FLAC, Ogg, AIFF, MP3 where
// libsndfile reads it) in blocks of float frames, so a long song is streamed, never
// loaded whole.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sound/pcm_format.h"

struct sf_private_tag;  // libsndfile's SNDFILE

namespace morrowby {

class SoundFileReader {
 public:
  SoundFileReader() = default;
  ~SoundFileReader();
  SoundFileReader(const SoundFileReader&) = delete;
  SoundFileReader& operator=(const SoundFileReader&) = delete;

  // Opens `path` for reading. Only regular files are opened, and without blocking, so
  // a FIFO or a device named in the song list never hangs the run. False for anything
  // that is not a sound file libsndfile can decode with a sane layout.
  bool Open(const std::string& path);

  // The layout of the frames that Read gives: 32-bit float, one or two channels (more
  // are folded to one), the file's own rate.
  PcmFormat Format() const { return format_; }

  // Reads up to `frames` frames; returns where they are (valid until the next call)
  // and how many there are, 0 at the end of the file or on a read error.
  std::size_t Read(std::size_t frames, const float** data);

 private:
  ::sf_private_tag* file_ = nullptr;
  int file_channels_ = 0;
  PcmFormat format_;
  std::vector<float> block_;
  std::vector<float> folded_;
};

}  // namespace morrowby
