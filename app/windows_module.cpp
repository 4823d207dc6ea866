// The windows module's entry: wx's start, the run's main loop, and wx's end.
#include "app/windows_module.h"

#include <gdk/gdkx.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include "app/app.h"
#include "app/main_window.h"

namespace {

// Hands the launcher's start-up notification id to GDK, as GDK does with the
// environment variable, so the launcher's busy cursor ends as usual.
void NotifyStartup(const char* startup_id) {
  if (startup_id == nullptr || *startup_id == '\0') return;
  GdkDisplay* display = gdk_display_get_default();
  if (display != nullptr && GDK_IS_X11_DISPLAY(display))
    gdk_x11_display_set_startup_notification_id(display, startup_id);
}

}  // namespace

extern "C" int MorrowbyRunWindows(morrowby::Greeting* greeting, int argc, char** argv,
                                  bool setup_at_once, const char* startup_id) {
  morrowby::SetupAtOnce = setup_at_once;
  wxApp::SetInstance(new morrowby::TApp(*greeting));
  bool started;
  {
    wxLogNull quiet;  // a missing display is reported by the program, in one line
    started = wxEntryStart(argc, argv);
  }
  if (!started) return 0;
  NotifyStartup(startup_id);
  if (wxTheApp->CallOnInit()) wxTheApp->OnRun();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return 1;
}
