// Must not compile: the ring's positions wrap with a mask, so a capacity that is not a
// power of two is refused at compile time. Built by CTest, which expects the refusal.
#include "sound/sample_ring.h"

morrowby::SampleRing<1000> ring;
