// Start-up steps shared by the windowed run and the run without a display.
#include "app/start_up.h"

#include "sound/announcement.h"
#include "store/settings.h"
#include "store/song_list_file.h"

namespace morrowby {

StartUpTime PrepareRun() {
  const StartUpTime time = TakeLocalTime();
  SongList.SongCount = 0;
  SongList.SerialPosition = 0;
  SongList.PlayMode = 0;
  RecordHomePath();
  OpenCurrentList();
  return time;
}

void MakeGreetingSound(SoundService& sound, const StartUpTime& time) {
  switch (SongList.PlayMode) {
    case kModeSilent:
      return;
    case kModeAnnounce:
      AnnounceDateTime(sound, time);
      return;
    default:
      PlaySong(sound, time);
  }
}

}  // namespace morrowby
