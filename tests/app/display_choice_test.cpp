// The choice of the toolkit's display: each environment a session can give, and a
// compositor that never answers.
#include "app/display_choice.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/temp_folder.h"

namespace morrowby {
namespace {

TEST(DisplayChoiceTest, LayerSurfacesOnWaylandElseX11AndTheUsersOwnChoiceKept) {
  const WaylandDisplay none;
  const WaylandDisplay layers{true, true, true};
  const WaylandDisplay plain{true, false, true};  // GNOME's kind: no layer surfaces
  const WaylandDisplay seatless{true, true, false};
  struct Case {
    const char* gdk_backend;
    bool x11;
    WaylandDisplay wayland;
    Backend expected;
  };
  const Case cases[] = {
      {nullptr, true, none, Backend::kAsIs},  // a plain X11 session
      {nullptr, false, none, Backend::kAsIs},  // no display at all: GTK says so
      {nullptr, true, layers, Backend::kWayland},
      {nullptr, false, layers, Backend::kWayland},
      {nullptr, true, plain, Backend::kX11},  // Xwayland can place the button
      {nullptr, false, plain, Backend::kAsIs},  // nowhere else to go
      {"x11", true, layers, Backend::kAsIs},  // the user's own choice stays
      {"", true, layers, Backend::kWayland},
      {"wayland", true, plain, Backend::kX11},
      {"wayland,x11", true, plain, Backend::kX11},
      {"wayland", false, plain, Backend::kAsIs},
      {"wayland", true, layers, Backend::kWayland},
      {"wayland", true, none, Backend::kX11},  // the compositor is gone, X11 is not
      {nullptr, true, seatless, Backend::kNoSeat},
      {nullptr, false, seatless, Backend::kNoSeat},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChooseBackend(c.gdk_backend, c.x11, c.wayland), c.expected)
        << "GDK_BACKEND=" << (c.gdk_backend ? c.gdk_backend : "(unset)") << " DISPLAY "
        << (c.x11 ? "set" : "unset") << " Wayland reached " << c.wayland.reached
        << " layer shell " << c.wayland.layer_shell << " seat " << c.wayland.seat;
}

TEST(DisplayChoiceTest, ACompositorThatNeverAnswersIsGivenUp) {
  testing::TempFolder folder;
  const std::string path = folder.File("wayland-stuck");
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(listener, 1), 0);  // connections wait in the backlog, never read
  const char* before = std::getenv("WAYLAND_DISPLAY");
  const std::string kept = before != nullptr ? before : "";
  setenv("WAYLAND_DISPLAY", path.c_str(), 1);

  const WaylandDisplay found = LookAtWayland(100);

  if (before != nullptr)
    setenv("WAYLAND_DISPLAY", kept.c_str(), 1);
  else
    unsetenv("WAYLAND_DISPLAY");
  close(listener);
  EXPECT_FALSE(found.reached);
  EXPECT_FALSE(found.layer_shell);
}

}  // namespace
}  // namespace morrowby
