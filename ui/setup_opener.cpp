// Opening the Setup window over the main window when the launch button was left
// pressed in.
#include "ui/setup_opener.h"

#include "ui/setup_window.h"

namespace morrowby {

void OpenSetupWindow(wxWindow* main_window) {
  TDlg2* setup = new TDlg2(main_window);
  setup->Execute();
  setup->Destroy();
}

}  // namespace morrowby
