// TApp, the application object: creates the main window and starts the run.
#pragma once

#include <wx/app.h>

#include "sound/sound_service.h"

namespace morrowby {

class TApp : public wxApp {
 public:
  // The sound service belongs to the caller and outlives the application object.
  explicit TApp(SoundService& sound);

  bool OnInit() override;

 private:
  SoundService& sound_;
};

}  // namespace morrowby
