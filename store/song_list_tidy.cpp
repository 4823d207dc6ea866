// Tidying the song list on the editor's OK.
#include "store/song_list_tidy.h"

namespace morrowby {

int FirstFreeSlot(const SongListRecord& list, int slots_in_use) {
  for (int i = 0; i < slots_in_use && i < kSlotCount; ++i)
    if (!SlotOccupied(list, i)) return i;
  return -1;
}

void TidySongList(SongListRecord& list, bool keep_places) {
  for (int i = 0; i < kSlotCount; ++i)
    if (!SlotOccupied(list, i)) list.ClearSlot(i);
  if (!keep_places) {
    // From the last slot up, each empty slot is closed by moving the later slots up
    // one place. Whole slots move, so a slot's bytes stay as they were.
    for (int empty = kSlotCount - 1; empty >= 0; --empty) {
      if (!list.SlotEmpty(empty)) continue;
      for (int j = empty; j + 1 < kSlotCount; ++j) {
        list.slots[j] = list.slots[j + 1];
        list.ClearSlot(j + 1);
      }
    }
  }
  list.SongCount = static_cast<int16_t>(CountSongs(list));
}

}  // namespace morrowby
