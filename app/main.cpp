// Program entry. The exit status is 0 on every path but an --output file that cannot
// be written: a greeter that fails must not disturb the log-in.
//
// The greeting starts first, before the toolkit: the song depends on nothing that
// wx or GTK does. The program links neither; once the sound is on its way, the
// windows module is loaded, and the launch button there waits for the sound's end.
#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/greeting.h"
#include "app/on_demand.h"
#include "app/windows_module.h"
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

// The folder of the running program, with its final '/'; "" when unknown.
std::string ProgramFolder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  const std::string exe(path, static_cast<std::size_t>(n));
  return exe.substr(0, exe.rfind('/') + 1);
}

// The windows module: beside the program in a build folder, else where it is
// installed. nullptr, with the loader's words in `why`, when neither loads.
MorrowbyRunWindowsFunction LoadWindows(std::string* why) {
  const std::string folder = ProgramFolder();
  for (const std::string& path : {folder + "morrowby-windows.so",
                                  folder + MORROWBY_WINDOWS_MODULE_INSTALLED}) {
    if (access(path.c_str(), F_OK) != 0) continue;
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      *why = dlerror();
      return nullptr;
    }
    if (auto run = reinterpret_cast<MorrowbyRunWindowsFunction>(
            dlsym(module, "MorrowbyRunWindows")))
      return run;
    *why = "it has no entry";
    return nullptr;
  }
  *why = "morrowby-windows.so is missing";
  return nullptr;
}

// Loading the module holds the dynamic loader's lock for its whole ~25 ms, and the
// greeting's sound libraries load more of their own as the device opens: let the
// greeting get its sound going first (or end, or give up), but never wait long.
void LetTheSoundStart(const morrowby::Greeting& greeting) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  while (!greeting.Played() && !morrowby::SoundDeviceSettled() &&
         std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

int main(int argc, char** argv) {
  morrowby::ProgramClockMs();  // the program clock counts from here
  // --help, --version and --say-time are answered here, before any greeting or toolkit.
  const morrowby::CommandLine command = morrowby::ParseCommandLine(argc, argv);
  int status = 0;
  if (morrowby::RunOnDemand(command, &status)) return status;
  const bool setup_at_once = command.kind == morrowby::RunKind::kSetup;
  const std::string startup_id = SettleEnvironment();
  const auto sound = morrowby::MakeDeviceSoundService();
  morrowby::Greeting greeting(*sound, !setup_at_once);

  LetTheSoundStart(greeting);
  std::string why;
  const MorrowbyRunWindowsFunction run_windows = LoadWindows(&why);
  if (run_windows == nullptr) {
    greeting.Wait();
    std::fprintf(stderr, "morrowby: cannot load its windows (%s); no Setup button\n",
                 why.c_str());
    return 0;
  }
  if (run_windows(&greeting, argc, argv, setup_at_once, startup_id.c_str()) == 0) {
    // Still greet, but there is nowhere to offer the Setup button.
    greeting.Wait();
    std::fprintf(stderr, setup_at_once ? "morrowby: no display; the Setup window cannot open\n"
                                       : "morrowby: no display; the Setup button is not shown\n");
    return 0;
  }
  greeting.Wait();
  return 0;
}
