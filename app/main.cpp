// Program entry. Arguments are ignored and the exit status is 0 on every path: a
// greeter that fails must not disturb the log-in.
//
// The greeting starts first, before the toolkit: the song depends on nothing that
// wx or GTK does, so it plays while they come up, and the launch button waits for it.
#include <cstdio>
#include <cstdlib>

#include <gdk/gdkx.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <string>

#include "app/app.h"
#include "app/greeting.h"
#include "sound/announcement.h"
#include "sound/device_sound_service.h"

namespace {

// Every change the toolkit and the program make to the environment is made before the
// greeting's thread starts reading it (SDL, the sound server's library and the theme
// look-up all do): adding a variable can move the environment's array under a reader.
// Returns the start-up notification id, which GDK would otherwise take out of the
// environment itself while the greeting runs.
std::string SettleEnvironment() {
  // Wayland ignores where a window asks to be; the launch button must sit in the
  // screen's corner, so GTK runs on X11 (XWayland) when one is there.
  if (std::getenv("GDK_BACKEND") == nullptr && std::getenv("WAYLAND_DISPLAY") != nullptr &&
      std::getenv("DISPLAY") != nullptr)
    setenv("GDK_BACKEND", "x11", 0);
  // The program draws nothing with OpenGL; without this GDK starts a GL driver just
  // to choose visuals, which costs tens of milliseconds.
  setenv("GDK_GL", "disable", 0);
  // wx sets this one while starting up; present already, it is replaced in place.
  setenv("G_FILENAME_ENCODING", "", 0);
  std::string startup_id;
  if (const char* id = std::getenv("DESKTOP_STARTUP_ID")) startup_id = id;
  unsetenv("DESKTOP_STARTUP_ID");
  return startup_id;
}

// Hands the launcher's start-up notification id to GDK, as GDK does with the
// environment variable, so the launcher's busy cursor ends as usual.
void NotifyStartup(const std::string& startup_id) {
  if (startup_id.empty()) return;
  GdkDisplay* display = gdk_display_get_default();
  if (display != nullptr && GDK_IS_X11_DISPLAY(display))
    gdk_x11_display_set_startup_notification_id(display, startup_id.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  morrowby::ProgramClockMs();  // the program clock counts from here
  const std::string startup_id = SettleEnvironment();
  const auto sound = morrowby::MakeDeviceSoundService();
  morrowby::Greeting greeting(*sound);

  wxApp::SetInstance(new morrowby::TApp(greeting));
  bool started;
  {
    wxLogNull quiet;  // a missing display is reported below, in one line
    started = wxEntryStart(argc, argv);
  }
  if (!started) {
    // Still greet, but there is nowhere to offer the Setup button.
    greeting.Wait();
    std::fprintf(stderr, "morrowby: no display; the Setup button is not shown\n");
    return 0;
  }
  NotifyStartup(startup_id);
  if (wxTheApp->CallOnInit()) wxTheApp->OnRun();
  wxTheApp->OnExit();
  wxEntryCleanup();
  greeting.Wait();
  return 0;
}
