// The greeting program, morrowby: the run up to the launch button on one thread, with
// no toolkit. For a run that shows a window it starts the windows program as soon as
// the sound device is open (at once for --setup), so that wx and GTK load while the
// sound plays without delaying its start, and hands the run over to it
// (app/hand_over.h). The exit status is 0 on every path but an --output file that
// cannot be written: a greeter that fails must not disturb the log-in.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/desktop_notice.h"
#include "app/greeting.h"
#include "app/on_demand.h"
#include "app/stop_signals.h"
#include "app/windows_launcher.h"
#include "sound/device_sound_service.h"
#include "sound/sdl_audio_output.h"
#include "store/translation.h"

using morrowby::Tr;

namespace {

// The run's end. A connect to a sound server that never answered is still waiting on a
// thread of its own; the process ends without running exit handlers under it.
int Finish(int status) {
  if (!morrowby::AudioOutput::OpenAbandoned()) return status;
  std::fflush(nullptr);
  _exit(status);
}

}  // namespace

int main(int argc, char** argv) {
  morrowby::UseUserLanguage();
  morrowby::InstallStopSignals(true);
  // A windows program that has gone must not end the greeting.
  signal(SIGPIPE, SIG_IGN);
  // --help, --version and --say-time are answered here, and nothing more is started.
  const morrowby::CommandLine command = morrowby::ParseCommandLine(argc, argv);
  int status = 0;
  if (morrowby::RunOnDemand(command, &status)) return Finish(status);
  const bool setup_at_once = command.kind == morrowby::RunKind::kSetup;

  morrowby::WindowsLauncher windows;
  const auto start_windows = [&]() {
    std::string why;
    if (!windows.Start(argv[0], setup_at_once, &why))
      std::fprintf(stderr, Tr("morrowby: cannot start its windows (%s); %s\n"), why.c_str(),
                   setup_at_once ? Tr("the Setup window cannot open") : Tr("no Setup button"));
    return windows.HandOverFd();
  };
  {
    const auto sound = morrowby::MakeDeviceSoundService();
    morrowby::Greet(*sound, !setup_at_once, start_windows);
  }
  // After the sound, while the button waits: what went wrong, told once.
  if (!setup_at_once) morrowby::ShowFaultsOnce(morrowby::TakeUserFaults());
  windows.WaitForEnd();
  return Finish(0);
}
