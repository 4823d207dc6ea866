// TApp, the application object: creates the main window and starts the run.
#pragma once

#include <wx/app.h>

#include "app/greeting.h"

namespace morrowby {

class TApp : public wxApp {
 public:
  // The greeting belongs to the caller and outlives the application object.
  explicit TApp(Greeting& greeting);

  bool OnInit() override;

 private:
  Greeting& greeting_;
};

}  // namespace morrowby
