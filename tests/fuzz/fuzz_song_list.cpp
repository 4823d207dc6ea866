// Fuzz target: an arbitrary song list file (and start-up time, and DateLine) through
// loading, song choice and the announcement builder. Nothing may read outside the
// record or the tables, and every choice must stay within the ten slots and the
// clips the program has.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sound/announcement.h"
#include "sound/random.h"
#include "sound/song_choice.h"
#include "store/song_list.h"

using namespace morrowby;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SongListImage image{};
  std::memcpy(image.data(), data, size < image.size() ? size : image.size());
  SongListRecord list = DecodeSongList(image);
  if (EncodeSongList(list) != image) std::abort();
  for (int i = 0; i < kSlotCount; ++i)
    if (list.SlotText(i).size() > kMaxPathChars) std::abort();

  // The bytes after the record choose the time and the DateLine.
  const uint8_t* rest = size > image.size() ? data + image.size() : nullptr;
  const size_t rest_size = rest != nullptr ? size - image.size() : 0;
  auto byte = [&](size_t i) { return i < rest_size ? rest[i] : 0; };
  StartUpTime t;
  t.minute = byte(0) % 60;
  t.hour = byte(1) % 24;
  t.mday = byte(2) % 31 + 1;
  t.month = byte(3) % 12;
  t.wday = byte(4) % 7;
  const int64_t seconds = static_cast<int64_t>(byte(5)) << 24 | byte(6) << 16 | byte(7);

  const RunSound choice =
      ChooseRunSound(list, t, [&](int n) { return RandomBelowAt(n, seconds); });
  if (choice.slot < -1 || choice.slot >= kSlotCount) std::abort();

  const std::string date_line(reinterpret_cast<const char*>(rest != nullptr ? rest + 8 : data),
                              rest_size > 8 ? std::min<size_t>(rest_size - 8, 12) : 0);
  for (const AnnouncementStep& s : BuildAnnouncement(t, date_line, byte(8) & 1)) {
    if (s.kind == AnnouncementStep::kClip && (s.value < kFirstClip || s.value > kLastClip))
      std::abort();
    if (s.kind == AnnouncementStep::kClip && FindClip(ProgramModule(), s.value).data == nullptr)
      std::abort();
  }
  return 0;
}
