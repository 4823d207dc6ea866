// The look at the Wayland display (its globals, through libwayland-client, over a
// connection of our own that is closed before GTK opens its own) and the choice of
// GDK_BACKEND that follows from it.
#include "app/display_choice.h"
#include "store/translation.h"

#include <poll.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace morrowby {
namespace {

void OnGlobal(void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
  auto* found = static_cast<WaylandDisplay*>(data);
  if (std::strcmp(interface, "zwlr_layer_shell_v1") == 0) found->layer_shell = true;
  if (std::strcmp(interface, "wl_seat") == 0) found->seat = true;
}

void OnGlobalRemoved(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {&OnGlobal, &OnGlobalRemoved};

void OnDone(void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }

const wl_callback_listener kDoneListener = {&OnDone};

bool Named(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// Reads and dispatches events until `done`, or until `limit_ms` have passed: a
// compositor that hangs must not keep the program from ending.
bool DispatchUntil(wl_display* display, const bool& done, int limit_ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
  while (!done) {
    while (wl_display_prepare_read(display) != 0)
      if (wl_display_dispatch_pending(display) < 0) return false;
    if (done) {
      wl_display_cancel_read(display);
      break;
    }
    wl_display_flush(display);
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd fd{wl_display_get_fd(display), POLLIN, 0};
    if (left <= 0 || poll(&fd, 1, static_cast<int>(left)) <= 0) {
      wl_display_cancel_read(display);
      return false;
    }
    if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0)
      return false;
  }
  return true;
}

}  // namespace

Backend ChooseBackend(const char* gdk_backend, bool x11, const WaylandDisplay& wayland) {
  const bool chosen = gdk_backend != nullptr && *gdk_backend != '\0';
  const bool wants_wayland = chosen && std::strncmp(gdk_backend, "wayland", 7) == 0;
  if (chosen && !wants_wayland) return Backend::kAsIs;
  if (!wayland.reached) return wants_wayland && x11 ? Backend::kX11 : Backend::kAsIs;
  // Without a seat nobody can press the button, and the toolkit's modal windows
  // cannot even start (they look for the seat to release its grab).
  if (!wayland.seat) return Backend::kNoSeat;
  if (wayland.layer_shell) return Backend::kWayland;
  return x11 ? Backend::kX11 : Backend::kAsIs;
}

WaylandDisplay LookAtWayland(int limit_ms) {
  WaylandDisplay found;
  if (!Named("WAYLAND_DISPLAY") || Named("WAYLAND_SOCKET")) return found;
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return found;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistryListener, &found);
  bool done = false;
  wl_callback* sync = wl_display_sync(display);
  wl_callback_add_listener(sync, &kDoneListener, &done);
  found.reached = DispatchUntil(display, done, limit_ms);
  wl_callback_destroy(sync);
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  if (!found.reached) found = WaylandDisplay{};
  return found;
}

bool ChooseDisplay(std::string* why) {
  // A look costs a few milliseconds; the limit is for a compositor that is stuck.
  constexpr int kLookLimitMs = 1000;
  const WaylandDisplay wayland = LookAtWayland(kLookLimitMs);
  switch (ChooseBackend(std::getenv("GDK_BACKEND"), Named("DISPLAY"), wayland)) {
    case Backend::kAsIs:
      return true;
    case Backend::kWayland:
      setenv("GDK_BACKEND", "wayland", 1);
      return true;
    case Backend::kX11:
      setenv("GDK_BACKEND", "x11", 1);
      return true;
    case Backend::kNoSeat:
      *why = TrFormat("the Wayland display \"%s\" has no seat (no keyboard, no pointer)",
                      std::getenv("WAYLAND_DISPLAY"));
      return false;
  }
  return true;
}

}  // namespace morrowby
