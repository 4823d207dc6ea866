// The one outcome of the program's file operations: done, or the errno of the failure
// and its reason in words. The store code only returns it; whoever faces the user
// tells it once: the greeting on stderr (app/start_up.h), the windows in a message box
// (ui/user_prompts.h). A plain value; any thread.
#pragma once

#include <cstring>
#include <string>

namespace morrowby {

struct FileResult {
  bool ok = false;
  int error = 0;       // the errno of a failure, when there is one
  std::string reason;  // in words, for the user; empty on success

  static FileResult Done() {
    FileResult done;
    done.ok = true;
    return done;
  }
  // `reason` defaults to the system's words for `error`.
  static FileResult Failure(int error, const std::string& reason = std::string()) {
    FileResult failed;
    failed.error = error;
    failed.reason = reason.empty() ? std::strerror(error) : reason;
    return failed;
  }
};

}  // namespace morrowby
