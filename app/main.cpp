// Program entry. Arguments are ignored and the exit status is 0 on every path: a
// greeter that fails must not disturb the log-in.
#include <cstdio>
#include <cstdlib>

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include "app/app.h"
#include "app/start_up.h"
#include "sound/announcement.h"
#include "sound/sdl_sound_service.h"

namespace {

// Wayland ignores where a window asks to be; the launch button must sit in the
// screen's corner, so GTK runs on X11 (XWayland) when one is there.
void PreferX11() {
  if (std::getenv("GDK_BACKEND") == nullptr && std::getenv("WAYLAND_DISPLAY") != nullptr &&
      std::getenv("DISPLAY") != nullptr)
    setenv("GDK_BACKEND", "x11", 0);
}

// No display at all: still greet, but there is nowhere to offer the Setup button.
void RunWithoutDisplay(morrowby::SoundService& sound) {
  const morrowby::StartUpTime time = morrowby::PrepareRun();
  morrowby::MakeGreetingSound(sound, time);
  sound.Drain();
  std::fprintf(stderr, "morrowby: no display; the Setup button is not shown\n");
}

}  // namespace

int main(int argc, char** argv) {
  morrowby::ProgramClockMs();  // the program clock counts from here
  PreferX11();
  // The program draws nothing with OpenGL; without this GDK starts a GL driver just
  // to choose visuals, which costs tens of milliseconds before the first sound.
  setenv("GDK_GL", "disable", 0);
  // Opening the sound device starts now, on its own thread, alongside the toolkit.
  const auto sound = morrowby::StartSdlSoundService();

  wxApp::SetInstance(new morrowby::TApp(*sound));
  bool started;
  {
    wxLogNull quiet;  // a missing display is reported below, in one line
    started = wxEntryStart(argc, argv);
  }
  if (!started) {
    RunWithoutDisplay(*sound);
    return 0;
  }
  if (wxTheApp->CallOnInit()) wxTheApp->OnRun();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return 0;
}
