// The spoken clips linked into the executable: a table from clip id to the whole
// RIFF image, generated at build time from resources/clips/<id>.wav.
#pragma once

namespace morrowby {

struct ClipImageEntry {
  unsigned id;                  // 0 ends the table
  const unsigned char* begin;   // first byte of the RIFF image
  const unsigned char* end;     // one past the last byte
};

// Sorted by id, closed by an entry whose id is 0.
extern const ClipImageEntry kClipImages[];

}  // namespace morrowby
