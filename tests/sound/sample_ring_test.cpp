// The ring between the decoding thread and the device callback, under real threads:
// every sample arrives once, in order, across many wrap-arounds.
#include "sound/sample_ring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace morrowby {
namespace {

TEST(SampleRingTest, OneProducerAndOneConsumerPassMillionsOfSamplesInOrder) {
  constexpr std::size_t kTotal = 8'000'000;
  // Small and odd-sized transfers, so the positions wrap constantly and the reads and
  // writes straddle the end of the buffer.
  static SampleRing<1024> ring;
  std::thread producer([] {
    std::vector<int16_t> block(700);
    std::size_t sent = 0, step = 0;
    while (sent < kTotal) {
      const std::size_t want = std::min<std::size_t>(1 + (step++ * 37) % 700, kTotal - sent);
      for (std::size_t i = 0; i < want; ++i) block[i] = static_cast<int16_t>(sent + i);
      std::size_t done = 0;
      while (done < want) {
        done += ring.Push(block.data() + done, want - done);
        if (done < want) std::this_thread::yield();
      }
      sent += want;
    }
  });
  std::vector<int16_t> out(900);
  std::size_t received = 0, mismatches = 0, step = 0;
  while (received < kTotal) {
    const std::size_t got = ring.Pop(out.data(), 1 + (step++ * 53) % 900);
    for (std::size_t i = 0; i < got; ++i)
      mismatches += out[i] != static_cast<int16_t>(received + i);
    received += got;
    if (got == 0) std::this_thread::yield();
  }
  producer.join();
  EXPECT_EQ(received, kTotal);
  EXPECT_EQ(mismatches, 0u);
  EXPECT_EQ(ring.Queued(), 0u);
  EXPECT_EQ(ring.ReadCount(), kTotal);
}

TEST(SampleRingTest, PushTakesOnlyWhatFitsAndResetForgetsTheRest) {
  SampleRing<8> ring;
  const int16_t data[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  EXPECT_EQ(ring.Push(data, 12), 8u);
  int16_t out[12] = {};
  EXPECT_EQ(ring.Pop(out, 3), 3u);
  EXPECT_EQ(out[2], 3);
  EXPECT_EQ(ring.Push(data + 8, 4), 3u);  // wraps round the end
  ring.Reset();
  EXPECT_EQ(ring.Queued(), 0u);
  EXPECT_EQ(ring.Pop(out, 12), 0u);
}

}  // namespace
}  // namespace morrowby
