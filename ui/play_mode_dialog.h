// TDlg3, the play mode dialog: five radio buttons, one per PlayMode. Its OK stores
// the chosen mode and writes the whole song list to the current list file at once.
#pragma once

#include <vector>

#include "resources/dialog_layouts.h"
#include "ui/dialog.h"

namespace morrowby {

class TDlg3 : public TDialog {
 public:
  explicit TDlg3(wxWindow* parent, int resource_id = kPlayModeResource);

  void CmOk();    // kCmOk
  void CmHelp();  // kCmHelp: the Selection Modes window

 protected:
  void SetupWindow() override;
  bool HandleCommand(int id) override;

 private:
  std::vector<wxRadioButton*> mode_buttons_;  // one per mode, in the order OK tests them
};

}  // namespace morrowby
