// The generator is fixed (state * 22695477 + 1 mod 2^32, bits 16..30 drawn) so that a
// given second always picks the same song, whatever the platform's rand() does.
#include "sound/random.h"

#include <ctime>

namespace morrowby {

int RandomBelowAt(int n, int64_t seconds) {
  if (n < 1) return 0;
  uint32_t state = static_cast<uint32_t>(seconds);
  state = state * 22695477u + 1u;
  const int drawn = static_cast<int>((state >> 16) & 32767u);
  return drawn % n;
}

int RandomBelow(int n) { return RandomBelowAt(n, static_cast<int64_t>(std::time(nullptr))); }

}  // namespace morrowby
