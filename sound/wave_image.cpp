// RIFF WAVE chunk walking with every length checked against the image's size.
#include "sound/wave_image.h"

#include <cstring>

#include "store/byte_order.h"

namespace morrowby {

bool ParseWaveImage(const uint8_t* image, std::size_t size, WaveView* view) {
  *view = WaveView();
  if (image == nullptr || size < 12 || std::memcmp(image, "RIFF", 4) != 0 ||
      std::memcmp(image + 8, "WAVE", 4) != 0)
    return false;
  bool have_format = false;
  std::size_t at = 12;
  while (at + 8 <= size) {
    const uint8_t* chunk = image + at;
    const std::size_t length = GetLe32(chunk + 4);
    const std::size_t room = size - at - 8;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (length < 16 || length > room) return false;
      const uint8_t* f = chunk + 8;
      if (GetLe16(f) != 1) return false;  // PCM only
      view->channels = GetLe16(f + 2);
      view->rate = static_cast<int>(GetLe32(f + 4));
      view->bits = GetLe16(f + 14);
      if (view->channels < 1 || view->channels > 2 || view->rate < 1000 ||
          view->rate > 384000 || (view->bits != 8 && view->bits != 16))
        return false;
      have_format = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!have_format) return false;
      const std::size_t frame = static_cast<std::size_t>(view->channels) * (view->bits / 8);
      const std::size_t bytes = length < room ? length : room;
      view->samples = chunk + 8;
      view->bytes = bytes - bytes % frame;
      return true;
    }
    if (length > room) return false;
    at += 8 + length + (length & 1);
  }
  return false;
}

}  // namespace morrowby
