// TDlgModAn, the date words dialog: a typical announcement as a row of push-like
// buttons, one per component (pressed = left out), and the clock style. Its OK
// stores the choice under DateLine; nothing else is kept.
#pragma once

#include "resources/dialog_layouts.h"
#include "ui/dialog.h"

class wxToggleButton;

namespace morrowby {

class TDlgModAn : public TDialog {
 public:
  explicit TDlgModAn(wxWindow* parent, int resource_id = kDateWordsResource);

  void CmOk();  // kCmOk

 protected:
  void SetupWindow() override;
  bool HandleCommand(int id) override;

 private:
  // Tells a screen reader whether the button's word is spoken or left out.
  void DescribeWord(wxToggleButton* button);
};

}  // namespace morrowby
