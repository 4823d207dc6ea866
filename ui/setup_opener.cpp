// Until the Setup window is built, a pressed-in launch button ends the run like a
// released one.
#include "ui/setup_opener.h"

namespace morrowby {

void OpenSetupWindow(wxWindow* /*main_window*/) {}

}  // namespace morrowby
