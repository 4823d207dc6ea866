// Which display the toolkit is started on, decided before it starts. Where the
// compositor lets a surface pin itself to the screen's corner (the layer-shell
// protocol), GTK runs natively on Wayland and the launch button is such a surface;
// elsewhere GTK runs on X11 (Xwayland) when there is one, since a plain Wayland window
// cannot say where it goes. Called from the windows program's main thread only.
#pragma once

#include <string>

namespace morrowby {

// What one look at the Wayland display found.
struct WaylandDisplay {
  bool reached = false;      // connected, and it answered in time
  bool layer_shell = false;  // it offers zwlr_layer_shell_v1
  bool seat = false;         // it has a seat: someone can click or type
};

enum class Backend {
  kAsIs,     // nothing to change: GTK's own choice, or the user's, stands
  kWayland,  // GDK_BACKEND=wayland
  kX11,      // GDK_BACKEND=x11
  kNoSeat,   // a Wayland display nobody can use: the windows do not start
};

// The choice for the environment given: `gdk_backend` is GDK_BACKEND (null when
// unset); `x11` tells whether DISPLAY names a display. A user's own GDK_BACKEND stays,
// but a Wayland one that cannot place the button gives way to X11 when there is one.
Backend ChooseBackend(const char* gdk_backend, bool x11, const WaylandDisplay& wayland);

// Connects to WAYLAND_DISPLAY and lists its globals, waiting at most `limit_ms`.
// Unreached when WAYLAND_DISPLAY is unset or empty, or when the toolkit is to be
// handed a connection already made (WAYLAND_SOCKET).
WaylandDisplay LookAtWayland(int limit_ms);

// Looks at the displays and sets GDK_BACKEND. False when the windows cannot be used
// at all; then `*why` says why, in a few words.
bool ChooseDisplay(std::string* why);

}  // namespace morrowby
