// One Setup window per user at a time. The run that opens Setup holds an flock on a
// lock file in a folder only this user may enter (the first such of
// $XDG_RUNTIME_DIR/morrowby, /tmp/morrowby-<uid> and <configuration folder>/morrowby,
// 0700: a name another user took first, or a runtime folder that is missing, is
// passed over) and listens on a unix socket beside it. Any other run that wants
// Setup meanwhile finds the lock taken, asks the holder through the socket to bring
// its window to the front (with its own start-up id or user time, so that the
// window manager lets it through), and opens none. Where no such folder can be had,
// no run opens Setup: the rule is never given up. A crashed holder's lock goes with
// its process, and the next holder replaces its stale socket.
// UI thread only.
#pragma once

#include <memory>

#include <wx/toplevel.h>

namespace morrowby {

class SingleSetup {
 public:
  SingleSetup();
  ~SingleSetup();
  SingleSetup(const SingleSetup&) = delete;
  SingleSetup& operator=(const SingleSetup&) = delete;

  enum State {
    kOwned,            // this run holds the lock and may open Setup
    kHeldElsewhere,    // another run's Setup is open
    kNoPrivateFolder,  // no folder of this user's alone for the lock: no Setup opens
  };
  State state() const;

  // Owned: from now until destruction, requests from other runs raise `window`.
  void RaiseOnRequest(wxTopLevelWindow* window);

  // Not owned: asks the holder to raise its Setup window, and returns once it has
  // answered (or within two seconds).
  void AskHolderToRaise();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace morrowby
