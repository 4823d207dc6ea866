// TDlgModAn, the date words dialog: a typical announcement as a row of push-like
// buttons, one per component (pressed = left out), and the clock style. Its OK
// stores the choice under DateLine; nothing else is kept.
#pragma once

#include <array>

#include "resources/dialog_layouts.h"
#include "store/date_line.h"
#include "ui/dialog.h"

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

  std::array<wxToggleButton*, kDateWordCount> word_buttons_{};  // by DateLine position
  wxRadioButton* twelve_hour_ = nullptr;
  wxRadioButton* twenty_four_hour_ = nullptr;
};

}  // namespace morrowby
