// Opening the Setup window from the main window: when the launch button was left
// pressed in, or at once for --setup.
#pragma once

#include <wx/toplevel.h>

namespace morrowby {

// Runs the Setup window modally over `main_window` and returns when it has ended.
// The Setup window opens active as of the user's last input (the click that asked for
// it, or the run's launch time); `leaving`, if given, is hidden once it has the focus.
// While another run of this user has a Setup window open, that one is brought to
// the front instead, and this returns at once (ui/single_setup.h).
void OpenSetupWindow(wxWindow* main_window, wxTopLevelWindow* leaving = nullptr);

}  // namespace morrowby
