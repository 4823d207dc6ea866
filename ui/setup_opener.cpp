// Opening the Setup window over the main window, one per user at a time.
#include "ui/setup_opener.h"

#include "ui/single_setup.h"
#include "ui/setup_window.h"
#include "ui/window_manager.h"

namespace morrowby {

void OpenSetupWindow(wxWindow* main_window, wxTopLevelWindow* leaving) {
  SingleSetup single;
  if (!single.Owned()) {
    // Another run's Setup window edits the same files: that one comes to the front.
    single.AskHolderToRaise();
    return;
  }
  TDlg2* setup = new TDlg2(main_window);
  ActivateOnMap(setup, leaving);
  single.RaiseOnRequest(setup);
  setup->Execute();
  setup->Destroy();
}

}  // namespace morrowby
