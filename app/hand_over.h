// The hand-over from the greeting program (`morrowby`) to the windows program
// (`morrowby-windows`): the one channel between them, and its format.
//
// The greeting starts the windows program with the read end of a pipe as descriptor
// kHandOverFd and writes, in this order:
//   1. the state block, once the run's state is final (after the serial save):
//        "MORROWBY"            8 bytes, the magic
//        version               uint32, kHandOverVersion
//        length                uint32, bytes of state that follow
//        SongList              the 818-byte record image, as on disk
//        CurrentListPath       uint16 length, then its bytes: the CurFile setting read
//   2. one byte kSoundEnded, once the last sample of the greeting has been heard;
// then closes its end. Integers are little-endian. A --setup run writes both at once.
// The windows program takes its SongList and CurrentListPath from here and reads
// neither the list nor the settings at start. (Of the other settings, HomePath is only
// written and DateLine only read while announcing: the windows need neither.)
//
// Pure logic: no toolkit, no sound; both programs link it.
#pragma once

#include <cstdint>
#include <string>

#include "store/song_list.h"

namespace morrowby {

constexpr int kHandOverFd = 3;
constexpr uint32_t kHandOverVersion = 2;
constexpr char kSoundEnded = 'E';

struct HandOverState {
  SongListRecord list;
  std::string current_list_path;
};

// The state block (part 1 above).
std::string EncodeHandOver(const HandOverState& state);

// Takes the bytes of the hand-over as they arrive, in pieces of any size.
class HandOverReader {
 public:
  enum Status {
    kWaiting,   // more bytes are due
    kHasState,  // the state block is complete; the sound plays on
    kEnded,     // the state block and the end of the sound have both arrived
    kMismatch,  // another format or version: Problem() says which
    kBroken,    // the greeting closed the channel before the end: Problem() says so
  };

  // Adds bytes; an empty `bytes` with `closed` says the writer has closed its end.
  Status Feed(const std::string& bytes, bool closed = false);
  Status status() const { return status_; }
  // The state, once the status is kHasState or kEnded.
  const HandOverState& State() const { return state_; }
  // For kMismatch and kBroken: what went wrong, as a line for the user.
  const std::string& Problem() const { return problem_; }

 private:
  Status Parse();

  std::string buffer_;
  Status status_ = kWaiting;
  HandOverState state_;
  std::string problem_;
};

// Feeds `reader` whatever descriptor `fd` (non-blocking) holds now, and the end of
// the channel when the writer has closed it; returns the reader's status.
HandOverReader::Status ReadHandOver(int fd, HandOverReader* reader);

}  // namespace morrowby
