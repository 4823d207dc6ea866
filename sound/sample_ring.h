// A single-producer, single-consumer ring of 16-bit samples between the thread that
// decodes sound and the audio device's callback. Neither side locks or allocates:
// the callback may run at any moment on the device's own thread.
//
// Thread rules: Push and Reset belong to the producer; Pop to the consumer;
// Queued and ReadCount may be asked from either side.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace morrowby {

template <std::size_t Capacity>
class SampleRing {
  // Positions wrap with a mask, so the capacity must be a power of two.
  static_assert(Capacity > 0 && (Capacity & (Capacity - 1)) == 0,
                "SampleRing capacity must be a power of two");

 public:
  static constexpr std::size_t kCapacity = Capacity;

  SampleRing() = default;
  SampleRing(const SampleRing&) = delete;
  SampleRing& operator=(const SampleRing&) = delete;

  // Producer side: takes as many of `count` samples as there is room for and returns
  // that number.
  std::size_t Push(const int16_t* data, std::size_t count) {
    const std::size_t w = written_.load(std::memory_order_relaxed);
    const std::size_t space = Capacity - (w - read_.load(std::memory_order_acquire));
    if (count > space) count = space;
    for (std::size_t i = 0; i < count; ++i) samples_[(w + i) & (Capacity - 1)] = data[i];
    written_.store(w + count, std::memory_order_release);
    return count;
  }

  // Consumer side (the audio callback): copies up to `count` samples and returns how
  // many there were; the caller fills the rest of its buffer with silence.
  std::size_t Pop(int16_t* out, std::size_t count) {
    const std::size_t r = read_.load(std::memory_order_relaxed);
    const std::size_t ready = written_.load(std::memory_order_acquire) - r;
    if (count > ready) count = ready;
    for (std::size_t i = 0; i < count; ++i) out[i] = samples_[(r + i) & (Capacity - 1)];
    read_.store(r + count, std::memory_order_release);
    return count;
  }

  // Forgets what is queued; only while no consumer runs.
  void Reset() { read_.store(written_.load(std::memory_order_acquire), std::memory_order_release); }

  std::size_t Queued() const {
    const std::size_t r = read_.load(std::memory_order_acquire);
    return written_.load(std::memory_order_acquire) - r;
  }
  // Total samples consumed so far; lets the producer see the consumer moving.
  std::size_t ReadCount() const { return read_.load(std::memory_order_acquire); }

 private:
  int16_t samples_[Capacity];  // written before read; untouched pages cost nothing
  std::atomic<std::size_t> written_{0};
  std::atomic<std::size_t> read_{0};
};

}  // namespace morrowby
