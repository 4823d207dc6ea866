// A single-producer, single-consumer ring of 16-bit samples between the thread that
// decodes sound and the audio device's callback. Neither side locks or allocates:
// the callback may run at any moment on the device's own thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace morrowby {

class SampleRing {
 public:
  // `capacity` must be a power of two.
  explicit SampleRing(std::size_t capacity)
      : capacity_(capacity), samples_(new int16_t[capacity]) {}

  // Producer side: how many samples can be pushed now, and the push itself.
  std::size_t Free() const { return capacity_ - (written_.load() - read_.load()); }
  std::size_t Push(const int16_t* data, std::size_t count) {
    const std::size_t w = written_.load(std::memory_order_relaxed);
    const std::size_t space = capacity_ - (w - read_.load(std::memory_order_acquire));
    if (count > space) count = space;
    for (std::size_t i = 0; i < count; ++i) samples_[(w + i) & (capacity_ - 1)] = data[i];
    written_.store(w + count, std::memory_order_release);
    return count;
  }

  // Consumer side (the audio callback): copies up to `count` samples and returns how
  // many there were; the caller fills the rest of its buffer with silence.
  std::size_t Pop(int16_t* out, std::size_t count) {
    const std::size_t r = read_.load(std::memory_order_relaxed);
    const std::size_t ready = written_.load(std::memory_order_acquire) - r;
    if (count > ready) count = ready;
    for (std::size_t i = 0; i < count; ++i) out[i] = samples_[(r + i) & (capacity_ - 1)];
    read_.store(r + count, std::memory_order_release);
    return count;
  }

  // Forgets what is queued; only while no consumer runs.
  void Reset() { read_.store(written_.load()); }

  std::size_t Queued() const { return written_.load() - read_.load(); }
  // Total samples consumed so far; lets the producer see the consumer moving.
  std::size_t ReadCount() const { return read_.load(); }

 private:
  const std::size_t capacity_;
  std::unique_ptr<int16_t[]> samples_;
  std::atomic<std::size_t> written_{0};
  std::atomic<std::size_t> read_{0};
};

}  // namespace morrowby
