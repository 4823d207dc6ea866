// Opening the Setup window over the main window, one per user at a time.
#include "ui/setup_opener.h"

#include <unistd.h>

#include "ui/setup_window.h"
#include "ui/shown_text.h"
#include "ui/single_setup.h"
#include "ui/user_prompts.h"
#include "ui/window_manager.h"

namespace morrowby {

void OpenSetupWindow(wxWindow* main_window, wxTopLevelWindow* leaving) {
  SingleSetup single;
  if (single.state() == SingleSetup::kHeldElsewhere) {
    // Another run's Setup window edits the same files: that one comes to the front.
    single.AskHolderToRaise();
    return;
  }
  if (single.state() == SingleSetup::kNoPrivateFolder) {
    Prompts().ShowMessage(
        main_window,
        ShownFormat("Setup cannot open: Morrowby found no folder of yours alone in which to make "
                    "sure that only one Setup window is open at a time (the runtime folder "
                    "XDG_RUNTIME_DIR, /tmp/morrowby-%u and your configuration folder are each "
                    "missing or another user's).\nTwo Setup windows would each undo the other's "
                    "changes.",
                    static_cast<unsigned>(getuid())),
        ShownBytes("ERROR"), wxICON_EXCLAMATION);
    return;
  }
  TDlg2* setup = new TDlg2(main_window);
  ActivateOnMap(setup, leaving);
  single.RaiseOnRequest(setup);
  setup->Execute();
  setup->Destroy();
}

}  // namespace morrowby
