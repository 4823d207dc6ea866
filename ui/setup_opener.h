// Opening the Setup window from the main window: when the launch button was left
// pressed in, or at once for --setup.
#pragma once

#include <wx/window.h>

namespace morrowby {

// Runs the Setup window modally over `main_window` and returns when it has ended.
// While another run of this user has a Setup window open, that one is brought to
// the front instead, and this returns at once (ui/single_setup.h).
void OpenSetupWindow(wxWindow* main_window);

}  // namespace morrowby
