// The greeting's side of the hand-over, played by a test: a pipe whose read end the
// windows' main window takes, and the writes the greeting would make.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "app/hand_over.h"
#include "store/song_list_file.h"

namespace morrowby {
namespace testing {

class HandOverPipe {
 public:
  HandOverPipe() {
    if (pipe2(fds_, O_CLOEXEC) == 0) fcntl(fds_[0], F_SETFL, O_NONBLOCK);
  }
  ~HandOverPipe() {
    for (int fd : fds_)
      if (fd >= 0) close(fd);
  }
  int ReadFd() const { return fds_[0]; }
  // The program's song list and current list file as the state.
  void SendState() { Write(EncodeHandOver({SongList, CurrentListPath})); }
  void SendState(const HandOverState& state) { Write(EncodeHandOver(state)); }
  void SendEnd() { Write(std::string(1, kSoundEnded)); }
  void Write(const std::string& bytes) { (void)!write(fds_[1], bytes.data(), bytes.size()); }
  void CloseWriteEnd() {
    close(fds_[1]);
    fds_[1] = -1;
  }

 private:
  int fds_[2] = {-1, -1};
};

}  // namespace testing
}  // namespace morrowby
