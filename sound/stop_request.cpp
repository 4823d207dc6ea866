// The stop flag: a lock-free atomic, so that a signal handler may set it.
#include "sound/stop_request.h"

#include <atomic>

namespace morrowby {
namespace {
std::atomic<bool> stop_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
}  // namespace

void RequestStop() noexcept { stop_requested.store(true, std::memory_order_relaxed); }
bool StopRequested() noexcept { return stop_requested.load(std::memory_order_relaxed); }

}  // namespace morrowby
