// The song list editor's rules for the record: where Add Opening Song puts a new song,
// and the tidying its OK applies. Plain functions on a record, no windows.
#pragma once

#include "store/song_list.h"

namespace morrowby {

// The first slot among slots 0 to `slots_in_use` - 1 that holds no song (no letter in
// its text); -1 when every one of them is occupied.
int FirstFreeSlot(const SongListRecord& list, int slots_in_use);

// Empties every slot without a letter, then, unless `keep_places` (day-of-the-week
// mode, where each slot belongs to a day), closes the songs up at the front in their
// order. Finally sets SongCount to the number of songs.
void TidySongList(SongListRecord& list, bool keep_places);

}  // namespace morrowby
