// Field-by-field encoding of the 818-byte song list record.
#include "store/song_list.h"

#include <algorithm>
#include <cstring>

#include "store/byte_order.h"

namespace morrowby {
namespace {

const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

}  // namespace

std::string SongListRecord::SlotText(int slot) const {
  const auto& bytes = slots[slot];
  return std::string(bytes.data(), strnlen(bytes.data(), kMaxPathChars));
}

void SongListRecord::SetSlotText(int slot, const std::string& text) {
  const std::size_t n = std::min(text.size(), kMaxPathChars);
  std::memcpy(slots[slot].data(), text.data(), n);
  slots[slot][n] = '\0';
}

SongListImage EncodeSongList(const SongListRecord& list) {
  SongListImage image{};
  for (int i = 0; i < kSlotCount; ++i)
    std::memcpy(&image[kSlotsOffset + i * kSlotBytes], list.slots[i].data(), kSlotBytes);
  PutLittleEndian(&image[kSongCountOffset], static_cast<uint16_t>(list.SongCount), 2);
  PutLittleEndian(&image[kSerialPositionOffset], static_cast<uint16_t>(list.SerialPosition), 2);
  PutLittleEndian(&image[kPlayModeOffset], static_cast<uint16_t>(list.PlayMode), 2);
  PutLittleEndian(&image[kReservedOffset], list.reserved, 2);
  return image;
}

SongListRecord DecodeSongList(const SongListImage& image) {
  SongListRecord list;
  for (int i = 0; i < kSlotCount; ++i)
    std::memcpy(list.slots[i].data(), &image[kSlotsOffset + i * kSlotBytes], kSlotBytes);
  list.SongCount = static_cast<int16_t>(GetLe16(&image[kSongCountOffset]));
  list.SerialPosition = static_cast<int16_t>(GetLe16(&image[kSerialPositionOffset]));
  list.PlayMode = static_cast<PlayMode>(GetLe16(&image[kPlayModeOffset]));
  list.reserved = GetLe16(&image[kReservedOffset]);
  return list;
}

bool SlotOccupied(const SongListRecord& list, int slot) {
  return list.SlotText(slot).find_first_of(kLetters) != std::string::npos;
}

int CountSongs(const SongListRecord& list) {
  int count = 0;
  for (int i = 0; i < kSlotCount; ++i) count += SlotOccupied(list, i) ? 1 : 0;
  return count;
}

}  // namespace morrowby
