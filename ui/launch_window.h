// TDlg4, the launch window: one push-like "Morrowby Setup" button at the top-left
// corner of the screen, offered for two seconds after the greeting sound.
#pragma once

#include "resources/dialog_layouts.h"
#include "ui/dialog.h"

namespace morrowby {

// Set by the launch window's OK from the button's state when the two seconds end:
// 1 when it was pressed in (the Setup window is wanted), else 0.
extern int SetupRequested;

class TDlg4 : public TDialog {
 public:
  explicit TDlg4(wxWindow* parent, int resource_id = kLaunchResource);

  // kCmOk, sent by the main window when the two seconds are over: sets
  // SetupRequested, and ends the window unless the Setup window is wanted.
  void CmOk();

 protected:
  bool HandleCommand(int id) override;

 private:
  wxToggleButton* button_;
};

}  // namespace morrowby
