// One Setup window per user at a time. The run that opens Setup holds an flock on a
// lock file in the user's runtime folder ($XDG_RUNTIME_DIR/morrowby, else a private
// /tmp/morrowby-<uid>, 0700) and listens on a unix socket beside it. Any other run
// that wants Setup meanwhile finds the lock taken, asks the holder through the
// socket to bring its window to the front (with its own start-up id or user time, so
// that the window manager lets it through), and opens none. A crashed holder's lock
// goes with its process, and the next holder replaces its stale socket.
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

  // True when this run may open Setup: it holds the lock, or there is no private
  // folder to keep one in (then nothing is guarded).
  bool Owned() const;

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
