// The launch window. Clicking its button only toggles it; nothing happens until the
// main window's two-second timer sends OK.
#include "ui/launch_window.h"

#include <wx/tglbtn.h>

#include "ui/layer_shell.h"
#include "ui/screen_reader.h"
#include "ui/window_manager.h"

namespace morrowby {

int SetupRequested = 0;

namespace {
const CommandEntry<TDlg4> kCommands[] = {
    {kCmOk, &TDlg4::CmOk},
};
}  // namespace

TDlg4::TDlg4(wxWindow* parent, int resource_id)
    : TDialog(parent, resource_id), button_(Controls().Toggle(LaunchIds::kButton)) {
  // It appears while the user may be typing elsewhere: it takes no keys until clicked,
  // or reached with the desktop's window switcher. A screen reader says its name, its
  // button's, as it appears.
  if (!PinToCorner(this)) OfferBesideWork(this);
  KeepActiveLook(this);
  if (button_ != nullptr) {
    const wxString name = wxControl::RemoveMnemonics(button_->GetLabel());
    NameWindow(this, name);
    SetScreenReaderName(this, name);
  }
  AnnounceWhenShown(this);
}

bool TDlg4::HandleCommand(int id) { return Dispatch(this, kCommands, id); }

void TDlg4::CmOk() {
  SetupRequested = (button_ != nullptr && button_->GetValue()) ? 1 : 0;
  // Wanted, the Setup window opens first, and the main window ends this one after it.
  if (SetupRequested == 0) CloseWindow(kCmCancel);
}

}  // namespace morrowby
