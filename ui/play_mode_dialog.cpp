// The play mode dialog's handlers.
#include "ui/play_mode_dialog.h"

#include <wx/radiobut.h>

#include "store/song_list_file.h"
#include "ui/help_windows.h"
#include "ui/user_prompts.h"

namespace morrowby {
namespace {

struct ModeButton {
  int id;
  PlayMode mode;
};
// In the order OK tests them.
const ModeButton kModeButtons[] = {
    {PlayModeIds::kRandomly, PlayMode::kRandom},     {PlayModeIds::kSerially, PlayMode::kSerial},
    {PlayModeIds::kDayOfWeek, PlayMode::kDayOfWeek}, {PlayModeIds::kAnnounce, PlayMode::kAnnounce},
    {PlayModeIds::kSilent, PlayMode::kSilent},
};

const CommandEntry<TDlg3> kCommands[] = {
    {kCmOk, &TDlg3::CmOk},
    {kCmHelp, &TDlg3::CmHelp},
};

}  // namespace

TDlg3::TDlg3(wxWindow* parent, int resource_id) : TDialog(parent, resource_id) {
  for (const ModeButton& b : kModeButtons) mode_buttons_.push_back(Controls().Radio(b.id));
}

bool TDlg3::HandleCommand(int id) { return Dispatch(this, kCommands, id); }

void TDlg3::SetupWindow() {
  // A mode no button stands for (only a damaged file holds one) leaves the group as
  // the toolkit made it, with its first button, "Randomly", checked.
  for (std::size_t i = 0; i < mode_buttons_.size(); ++i)
    if (kModeButtons[i].mode == SongList.PlayMode && mode_buttons_[i] != nullptr)
      mode_buttons_[i]->SetValue(true);
}

void TDlg3::CmOk() {
  for (std::size_t i = 0; i < mode_buttons_.size(); ++i)
    if (mode_buttons_[i] != nullptr && mode_buttons_[i]->GetValue()) {
      SongList.PlayMode = kModeButtons[i].mode;
      break;
    }
  // With no list file yet the mode holds for this run; the Setup window then offers
  // Save, which asks where the list goes.
  if (!CurrentListPath.empty()) {
    const FileResult result = SaveSongList();
    if (!result.ok) ReportSaveFailure(this, CurrentListPath, result);
  }
  CloseWindow(kCmCancel);
}

void TDlg3::CmHelp() { ShowHelpWindow(this, kSelectionModesResource); }

}  // namespace morrowby
