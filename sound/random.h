// RandomBelow: the program's own small random number generator, reseeded from the
// calendar time on every call, so a choice depends only on the second it is made in.
#pragma once

#include <cstdint>

namespace morrowby {

// A number from 0 to n - 1 (0 when n < 1), drawn from a 32-bit linear congruential
// generator seeded with the current calendar time in whole seconds.
int RandomBelow(int n);

// The same draw for a given calendar time; RandomBelow(n) is RandomBelowAt(n, now).
int RandomBelowAt(int n, int64_t seconds);

}  // namespace morrowby
