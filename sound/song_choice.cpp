// Song selection: random, in turn, or by weekday.
#include "sound/song_choice.h"

#include <algorithm>
#include <ctime>

#include "sound/random.h"
#include "store/song_list_file.h"

namespace morrowby {

StartUpTime TakeLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  StartUpTime t;
  t.minute = local.tm_min;
  t.hour = local.tm_hour;
  t.mday = local.tm_mday;
  t.month = local.tm_mon;
  t.wday = local.tm_wday;
  return t;
}

SongChoice ChooseSong(SongListRecord& list, const StartUpTime& time,
                      const std::function<int(int)>& random_below) {
  SongChoice choice;
  const int count = std::clamp<int>(list.SongCount, 0, kSlotCount);
  switch (list.PlayMode) {
    case kModeRandom:
      choice.slot = random_below(count);
      break;
    case kModeSerial: {
      const int position = list.SerialPosition;
      const int next = (position >= 0 && position + 1 < count) ? position + 1 : 0;
      list.SerialPosition = static_cast<int16_t>(next);
      choice.slot = next;
      break;
    }
    case kModeDayOfWeek:
      choice.slot = time.wday;
      break;
    default:  // only a damaged file carries another mode: play nothing
      return choice;
  }
  if (choice.slot < 0 || choice.slot >= kSlotCount) choice.slot = -1;
  return choice;
}

void PlaySong(SoundService& sound, const StartUpTime& time) {
  SongChoice choice;
  const auto choose = [&](SongListRecord& list) { choice = ChooseSong(list, time, RandomBelow); };
  // The advanced position is on disk before the song starts, so a run cut short
  // during a long song still moves on next time.
  if (SongList.PlayMode == kModeSerial)
    TakeSerialTurn(choose);
  else
    choose(SongList);
  if (choice.slot >= 0 && !SongList.SlotEmpty(choice.slot))
    sound.PlayNamedSound(SongList.SlotText(choice.slot));
}

}  // namespace morrowby
