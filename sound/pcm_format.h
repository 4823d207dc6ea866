// How a block of PCM samples is laid out, in the sound layer's own terms, so that the
// sources of samples need not know the output library's format codes.
#pragma once

#include <cstddef>

namespace morrowby {

enum class SampleType {
  kU8,   // unsigned 8-bit, silence at 128
  kS16,  // signed 16-bit, native byte order
  kF32,  // 32-bit float, native byte order, -1..1
};

struct PcmFormat {
  SampleType type = SampleType::kS16;
  int channels = 2;
  int rate = 48000;

  std::size_t SampleBytes() const {
    return type == SampleType::kU8 ? 1 : type == SampleType::kS16 ? 2 : 4;
  }
  std::size_t FrameBytes() const { return SampleBytes() * static_cast<std::size_t>(channels); }
  // The byte value that fills silence: every byte of a silent frame holds it.
  unsigned char SilenceByte() const { return type == SampleType::kU8 ? 0x80 : 0; }

  bool operator==(const PcmFormat& o) const {
    return type == o.type && channels == o.channels && rate == o.rate;
  }
  bool operator!=(const PcmFormat& o) const { return !(*this == o); }
};

}  // namespace morrowby
