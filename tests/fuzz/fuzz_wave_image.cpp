// Fuzz target: arbitrary bytes as a WAV image. The parser must stay inside the image
// and describe only whole frames within it.
#include <cstdint>
#include <cstdlib>

#include "sound/wave_image.h"

using namespace morrowby;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WaveView view;
  if (!ParseWaveImage(data, size, &view)) return 0;
  if (view.samples < data || view.samples + view.bytes > data + size) std::abort();
  const size_t frame = static_cast<size_t>(view.channels) * (view.bits / 8);
  if (frame == 0 || view.bytes % frame != 0) std::abort();
  return 0;
}
