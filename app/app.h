// TApp, the windows program's application object: creates the main window and starts
// the run.
#pragma once

#include <wx/app.h>

namespace morrowby {

class TApp : public wxApp {
 public:
  // `hand_over_fd`: the greeting's hand-over (app/hand_over.h), read by the main window.
  explicit TApp(int hand_over_fd);

  bool OnInit() override;

 private:
  int hand_over_fd_;
};

}  // namespace morrowby
