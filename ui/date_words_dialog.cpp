// The date words dialog's set-up and OK: DateLine to button states and back.
#include "ui/date_words_dialog.h"

#include <wx/radiobut.h>
#include <wx/tglbtn.h>

#include "store/settings.h"
#include "ui/screen_reader.h"
#include "ui/shown_text.h"
#include "ui/user_prompts.h"

namespace morrowby {
namespace {

using D = DateWordsIds;

// The button of each DateLine position 0 to 9.
constexpr int kWordButtons[kDateWordCount] = {D::kChime, D::kOpener, D::kWeekday, D::kThe,
                                              D::kDay,   D::kOf,     D::kMonth,   D::kHour,
                                              D::kMinutes, D::kAmPm};

const CommandEntry<TDlgModAn> kCommands[] = {
    {kCmOk, &TDlgModAn::CmOk},
};

}  // namespace

TDlgModAn::TDlgModAn(wxWindow* parent, int resource_id)
    : TDialog(parent, resource_id),
      twelve_hour_(Controls().Radio(D::kTwelveHour)),
      twenty_four_hour_(Controls().Radio(D::kTwentyFourHour)) {
  for (int p = 0; p < kDateWordCount; ++p) word_buttons_[p] = Controls().Toggle(kWordButtons[p]);
}

bool TDlgModAn::HandleCommand(int id) { return Dispatch(this, kCommands, id); }

void TDlgModAn::SetupWindow() {
  const DateWordsChoice choice = ParseDateLine(ReadSetting("DateLine", kDateLineRoom));
  for (int p = 0; p < kDateWordCount; ++p)
    if (wxToggleButton* button = word_buttons_[p]) {
      button->SetValue(choice.left_out[p]);
      DescribeWord(button);
      button->Bind(wxEVT_TOGGLEBUTTON, [this, button](wxCommandEvent& event) {
        DescribeWord(button);
        event.Skip();
      });
    }
  if (wxRadioButton* clock = choice.twelve_hour ? twelve_hour_ : twenty_four_hour_)
    clock->SetValue(true);
}

void TDlgModAn::DescribeWord(wxToggleButton* button) {
  // "Pressed" alone does not say which way round the buttons work.
  SetScreenReaderDescription(button, ShownText(button->GetValue() ? kWordLeftOut : kWordSpoken));
}

void TDlgModAn::CmOk() {
  DateWordsChoice choice;
  for (int p = 0; p < kDateWordCount; ++p)
    choice.left_out[p] = word_buttons_[p] != nullptr && word_buttons_[p]->GetValue();
  choice.twelve_hour = twelve_hour_ != nullptr && twelve_hour_->GetValue();
  const FileResult written = WriteSetting("DateLine", FormatDateLine(choice));
  if (!written.ok) {
    // The window stays open with the choice, so the user can try again or cancel.
    const std::string file = SettingsFilePath();
    ReportFileFault(this, ShownFormat("The date words could not be saved to %s:\n%s",
                                      file.empty() ? "TOLVERA.INI" : file.c_str(),
                                      written.reason.c_str()));
    return;
  }
  CloseWindow(kCmCancel);
}

}  // namespace morrowby
