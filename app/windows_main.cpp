// The windows program, morrowby-windows: started by the greeting program (never from
// PATH), it runs the toolkit's side of a run on its one thread: the hidden main
// window, the launch button once the hand-over says the sound has been heard, and the
// Setup window. Exit status 0 on every path.
#include <fcntl.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app.h"
#include "app/display_choice.h"
#include "app/hand_over.h"
#include "app/main_window.h"
#include "app/stop_signals.h"
#include "app/toolkit_files.h"
#include "sound/stop_request.h"
#include "ui/dialog.h"
#include "store/translation.h"

using morrowby::Tr;

namespace {

// A stop that the windows cannot carry out in this time is carried out at once: no
// write of a file can be under way then, since writes run on this thread, to their end.
constexpr guint kStopBackstopMs = 400;

void SettleEnvironment() {
  // The program draws nothing with OpenGL; without this GDK starts a GL driver just
  // to choose visuals, which costs tens of milliseconds.
  setenv("GDK_GL", "disable", 0);
}

gboolean EndNow(gpointer) {
  _exit(0);
}

// From the main loop (or a modal one), never from the signal handler: the toolkit's
// own dialogs (message boxes, file choosers) are answered as if cancelled, and the
// program's quit request ends each of its modal runs in turn, then the main loop.
gboolean OnStopSignal(gint, GIOCondition, gpointer) {
  morrowby::DrainStopSignalFd();
  if (!morrowby::StopRequested()) return G_SOURCE_CONTINUE;
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w != nullptr; w = w->next)
    if (GTK_IS_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data)))
      gtk_dialog_response(GTK_DIALOG(w->data), GTK_RESPONSE_DELETE_EVENT);
  g_list_free(windows);
  morrowby::PostQuitRequest();
  wxTheApp->CallAfter([] { morrowby::PostQuitRequest(); });
  g_timeout_add(kStopBackstopMs, &EndNow, nullptr);
  return G_SOURCE_REMOVE;
}

void ReportNoToolkit(const char* consequence) {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* backend = std::getenv("GDK_BACKEND");
  const bool x11_named = display != nullptr && *display != '\0';
  const bool wayland_named = wayland != nullptr && *wayland != '\0';
  const bool on_wayland = backend != nullptr && std::strcmp(backend, "wayland") == 0;
  if (!x11_named && !wayland_named)
    std::fprintf(stderr, Tr("morrowby: no display; %s\n"), consequence);
  else
    std::fprintf(stderr, Tr("morrowby: the toolkit could not start on display \"%s\"; %s\n"),
                 wayland_named && (on_wayland || !x11_named) ? wayland : display, consequence);
}

}  // namespace

int main(int argc, char** argv) {
  // The locale before GTK starts: GTK's own texts (the file chooser's) follow it.
  morrowby::UseUserLanguage();
  // Before any descriptor of our own is opened, which could take the channel's number.
  const int flags = fcntl(morrowby::kHandOverFd, F_GETFL);
  if (flags < 0) {
    std::fprintf(stderr, Tr("morrowby-windows: only morrowby starts this program\n"));
    return 0;
  }
  morrowby::InstallStopSignals(false);
  const bool setup_at_once = argc > 1 && std::strcmp(argv[1], "--setup") == 0;
  // Nothing the toolkit starts may hold the channel open.
  fcntl(morrowby::kHandOverFd, F_SETFD, FD_CLOEXEC);
  fcntl(morrowby::kHandOverFd, F_SETFL, flags | O_NONBLOCK);
  SettleEnvironment();
  const char* consequence =
      setup_at_once ? Tr("the Setup window cannot open") : Tr("the Setup button is not shown");

  std::string unusable;
  if (!morrowby::ChooseDisplay(&unusable)) {
    std::fprintf(stderr, "morrowby: %s; %s\n", unusable.c_str(), consequence);
    return 0;
  }
  if (!morrowby::ToolkitFilesSafe(&unusable)) {
    std::fprintf(stderr, Tr("morrowby: %s, and the toolkit would wait on it; %s\n"),
                 unusable.c_str(), consequence);
    return 0;
  }
  morrowby::SetupAtOnce = setup_at_once;
  wxApp::SetInstance(new morrowby::TApp(morrowby::kHandOverFd));
  int wx_argc = 1;
  bool started;
  {
    wxLogNull quiet;  // the reason is told below, in one line
    started = wxEntryStart(wx_argc, argv);
  }
  if (!started) {
    if (!morrowby::StopRequested()) ReportNoToolkit(consequence);
    return 0;
  }
  if (morrowby::StopSignalFd() >= 0)
    g_unix_fd_add(morrowby::StopSignalFd(), G_IO_IN, &OnStopSignal, nullptr);
  if (!morrowby::StopRequested() && wxTheApp->CallOnInit()) wxTheApp->OnRun();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return 0;
}
