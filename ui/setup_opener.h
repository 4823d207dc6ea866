// Opening the Setup window from the main window when the launch button was left
// pressed in.
#pragma once

#include <wx/window.h>

namespace morrowby {

// Runs the Setup window modally over `main_window` and returns when it has ended.
void OpenSetupWindow(wxWindow* main_window);

}  // namespace morrowby
