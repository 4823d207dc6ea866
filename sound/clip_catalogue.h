// The built-in spoken clips (ids 601 to 682) and the tables through which the
// announcement finds the clip for a number, an ordinal, a weekday or a month.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sound/sound_service.h"

namespace morrowby {

using ClipId = uint16_t;

constexpr ClipId kFirstClip = 601;
constexpr ClipId kLastClip = 682;

// Index = the number 0..19; 0 is "oh" (682), n is 600 + n.
extern const ClipId NumberWords[20];
// Entry d - 1 is the ordinal of day d for 1..19; 19 is twentieth, 20 thirtieth.
extern const ClipId OrdinalWords[21];
// Indexed by the tens digit 2..5; entries 0 and 1 are never looked up (0).
extern const ClipId TensWords[6];
// Index = day of the week, 0 = Sunday.
extern const ClipId DayNameWords[7];
// Index = month, 0 = January.
extern const ClipId MonthWords[12];

// The fixed words, by role.
struct PhraseClipTable {
  ClipId opener[2];      // two recordings of "It's"
  ClipId the;
  ClipId of;
  ClipId whole_hour_12;  // "o'clock"
  ClipId whole_hour_24;  // "hundred hours"
  ClipId am;
  ClipId pm;
  ClipId gap;            // near-silence between components
  ClipId chime;          // "Ding Dong"
  ClipId new_year;       // played alone on 1 January
  ClipId christmas;      // played alone on 25 December
};
extern const PhraseClipTable PhraseClips;

// Where clips live: the program's own (ProgramModule) or a test's.
struct ClipModule {
  struct Entry {
    unsigned id;
    const uint8_t* begin;
    const uint8_t* end;
  };
  const Entry* entries;  // sorted by id
  std::size_t count;
};

// The clips linked into this program: a table generated at build time, in id
// order, from resources/clips/<id>.wav (resources/embed_clips.cmake).
const ClipModule& ProgramModule();

struct ClipImage {
  const uint8_t* data = nullptr;  // the whole RIFF image, in place
  std::size_t size = 0;
};

// The image of clip `id` in `module`; data is nullptr when it has no such clip.
ClipImage FindClip(const ClipModule& module, ClipId id);

// Plays clip `id` from `module` and returns when it has been queued: true when the
// clip exists. A number without a clip returns false at once, and whatever is still
// playing goes on.
bool PlayClip(SoundService& sound, const ClipModule& module, ClipId id);

}  // namespace morrowby
