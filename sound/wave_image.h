// Reading a RIFF WAVE image in memory: where its PCM samples are and how they are
// laid out, without copying them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morrowby {

struct WaveView {
  const uint8_t* samples = nullptr;  // points into the image
  std::size_t bytes = 0;             // whole frames only
  int channels = 0;                  // 1 or 2
  int rate = 0;                      // frames per second
  int bits = 0;                      // 8 (unsigned) or 16 (signed little-endian)
};

// Finds the "fmt " and "data" chunks of a PCM image. Returns false for anything
// else (another encoding, a truncated or lying header, more than two channels); a
// data chunk that claims more bytes than the image holds is cut to what is there.
bool ParseWaveImage(const uint8_t* image, std::size_t size, WaveView* view);

}  // namespace morrowby
