// The greeting's steps in order, and the writes of the hand-over.
#include "app/greeting.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "app/hand_over.h"
#include "sound/song_choice.h"
#include "sound/stop_request.h"
#include "store/settings.h"
#include "store/song_list_file.h"
#include "store/translation.h"
#include "store/user_faults.h"

namespace morrowby {
namespace {

// The whole of `bytes`, unless the reader has gone (EPIPE: SIGPIPE is ignored).
void Send(int fd, const std::string& bytes) {
  std::size_t at = 0;
  while (fd >= 0 && at < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
    if (n > 0) {
      at += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      return;
    }
  }
}

// Takes the local time (returned, kept for the run), clears the list's count,
// position and mode, records HomePath (a failure is reported; the run goes on) and
// loads the CurFile list.
StartUpTime PrepareRun() {
  const StartUpTime time = TakeLocalTime();
  SongList.SongCount = 0;
  SongList.SerialPosition = 0;
  SongList.PlayMode = PlayMode::kRandom;
  const FileResult recorded = RecordHomePath();
  if (!recorded.ok) {
    const std::string file = SettingsFilePath();
    ReportOnStderr(TrFormat("cannot store %s in %s", "HomePath",
                            file.empty() ? "TOLVERA.INI" : file.c_str()),
                   recorded);
    NoteUserFault({Tr("Morrowby cannot save its settings"),
                   TrFormat("%s: %s.", file.empty() ? "TOLVERA.INI" : file.c_str(),
                            recorded.reason.c_str())});
  }
  const FileResult opened = OpenCurrentList();
  if (!opened.ok) {
    // The list named for log-in cannot be read, so nothing plays: the user is told why.
    std::fprintf(stderr, Tr("morrowby: cannot read the song list %s: %s\n"),
                 CurrentListPath.c_str(), opened.reason.c_str());
    NoteUserFault({Tr("Morrowby cannot read its song list"),
                   TrFormat("%s: %s. Nothing was played; open or save a list in Morrowby Setup.",
                            CurrentListPath.c_str(), opened.reason.c_str())});
  }
  return time;
}

}  // namespace

void ReportOnStderr(const std::string& what, const FileResult& result) {
  std::fprintf(stderr, Tr("morrowby: %s: %s\n"), what.c_str(), result.reason.c_str());
}

void Greet(SoundService& sound, bool sound_wanted, const std::function<int()>& start_windows) {
  int hand_over_fd = -1;
  bool started = false;
  const auto start = [&] {
    if (started || StopRequested()) return;
    started = true;
    hand_over_fd = start_windows();
  };
  if (!sound_wanted) start();  // the toolkit loads while the list is read
  const StartUpTime time = PrepareRun();
  if (sound_wanted && !StopRequested()) {
    sound.WhenDeviceOpens(start);
    MakeGreetingSound(sound, time, ReportOnStderr);
    sound.WhenDeviceOpens(nullptr);
  }
  start();  // no sound needed the device
  // Final now: the serial position, if any, has been advanced and saved.
  Send(hand_over_fd, EncodeHandOver({SongList, CurrentListPath}));
  // The launch button must never be on screen while a sound is still heard.
  if (sound_wanted) sound.Drain();
  // Stopped: the windows program is told to end instead (WindowsLauncher).
  if (StopRequested()) return;
  Send(hand_over_fd, std::string(1, kSoundEnded));
}

}  // namespace morrowby
