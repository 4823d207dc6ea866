// The song list record (`SongListRecord`): ten song slots and the play settings, exactly 818 bytes on
// disk. The in-memory record keeps every byte of the slots as read, so saving a
// loaded record writes back the same bytes (including the leftovers after a slot's
// terminator and the reserved word).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace morrowby {

constexpr int kSlotCount = 10;
constexpr std::size_t kSlotBytes = 81;        // 80 characters and the terminator
constexpr std::size_t kMaxPathChars = kSlotBytes - 1;
constexpr std::size_t kSongListBytes = 818;

// Byte offsets of the fields in the file image; integers are little-endian.
constexpr std::size_t kSlotsOffset = 0;
constexpr std::size_t kSongCountOffset = kSlotCount * kSlotBytes;  // 810
constexpr std::size_t kSerialPositionOffset = kSongCountOffset + 2;
constexpr std::size_t kPlayModeOffset = kSerialPositionOffset + 2;
constexpr std::size_t kReservedOffset = kPlayModeOffset + 2;
static_assert(kReservedOffset + 2 == kSongListBytes, "the record is 818 bytes");

// What a run plays, stored as the record's signed 16-bit PlayMode. A damaged or
// foreign file may hold a value no mode stands for; it is kept as it is.
enum class PlayMode : int16_t {
  kRandom = 0,     // a song drawn at random
  kSerial = 1,     // the songs in turn
  kDayOfWeek = 2,  // the song of the weekday
  kAnnounce = 3,   // the date and time
  kSilent = 4,     // no sound
};

using SongListImage = std::array<uint8_t, kSongListBytes>;

struct SongListRecord {
  std::array<std::array<char, kSlotBytes>, kSlotCount> slots{};
  int16_t SongCount = 0;
  int16_t SerialPosition = 0;
  morrowby::PlayMode PlayMode{};
  uint16_t reserved = 0;

  // The slot's text: up to its first NUL, and never more than 80 characters, even in
  // a damaged record whose slot has no terminator.
  std::string SlotText(int slot) const;
  // Replaces the slot's text; text past 80 characters is not stored (callers refuse
  // longer paths before they get here). Bytes after the new terminator are kept.
  void SetSlotText(int slot, const std::string& text);
  bool SlotEmpty(int slot) const { return slots[slot][0] == '\0'; }
  // Writes a NUL to the slot's first byte only.
  void ClearSlot(int slot) { slots[slot][0] = '\0'; }
};

SongListImage EncodeSongList(const SongListRecord& list);
SongListRecord DecodeSongList(const SongListImage& image);

// A slot holds a song when its text has at least one ASCII letter; blanks, digits and
// punctuation alone do not count.
bool SlotOccupied(const SongListRecord& list, int slot);
// The number of occupied slots, 0 to 10.
int CountSongs(const SongListRecord& list);

}  // namespace morrowby
