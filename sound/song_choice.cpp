// What a run plays: silence, the date and time, or a song drawn at random, taken in
// turn, or by weekday.
#include "sound/song_choice.h"

#include <algorithm>

#include "sound/random.h"
#include "store/song_list_file.h"
#include "store/translation.h"
#include "store/user_faults.h"

namespace morrowby {

RunSound ChooseRunSound(SongListRecord& list, const StartUpTime& time,
                        const std::function<int(int)>& random_below) {
  RunSound run;
  const int count = std::clamp<int>(list.SongCount, 0, kSlotCount);
  switch (list.PlayMode) {
    case PlayMode::kSilent:
      run.kind = RunSound::kSilence;
      return run;
    case PlayMode::kAnnounce:
      run.kind = RunSound::kAnnouncement;
      return run;
    case PlayMode::kRandom:
      run.slot = random_below(count);
      break;
    case PlayMode::kSerial: {
      const int position = list.SerialPosition;
      const int next = (position >= 0 && position + 1 < count) ? position + 1 : 0;
      list.SerialPosition = static_cast<int16_t>(next);
      run.slot = next;
      break;
    }
    case PlayMode::kDayOfWeek:
      run.slot = time.wday;
      break;
    default:  // only a damaged file carries another value: play nothing
      return run;
  }
  if (run.slot < 0 || run.slot >= kSlotCount) run.slot = -1;
  return run;
}

void MakeGreetingSound(SoundService& sound, const StartUpTime& time, const FaultReport& report) {
  RunSound run;
  const auto choose = [&](SongListRecord& list) { run = ChooseRunSound(list, time, RandomBelow); };
  // The advanced position is on disk before the song starts, so a run cut short
  // during a long song still moves on next time.
  if (SongList.PlayMode == PlayMode::kSerial) {
    const FileResult saved = TakeSerialTurn(choose);
    if (!saved.ok) {
      report(TrFormat("cannot save the song list to %s", CurrentListPath.c_str()), saved);
      // The run has nobody to ask; the user is told at the end.
      NoteUserFault({Tr("Morrowby cannot save its song list"),
                     TrFormat("%s: %s. The turn of this log-in is not kept, so the next one plays "
                              "the same song.",
                              CurrentListPath.c_str(), saved.reason.c_str())});
    }
  } else {
    choose(SongList);
  }
  if (run.kind == RunSound::kAnnouncement) AnnounceDateTime(sound, time);
  if (run.kind == RunSound::kSong && run.slot >= 0 && !SongList.SlotEmpty(run.slot))
    sound.PlayNamedSound(SongList.SlotText(run.slot));
}

}  // namespace morrowby
