// The fixed-text windows.
#include "ui/help_windows.h"

#include "resources/dialog_layouts.h"

namespace morrowby {

TDlgHelp::TDlgHelp(wxWindow* parent, int resource_id) : TDialog(parent, resource_id) {}

TDlgGenHelp::TDlgGenHelp(wxWindow* parent, int resource_id) : TDialog(parent, resource_id) {}

void ShowHelpWindow(wxWindow* parent, int resource_id) {
  TDialog* window = resource_id == kProgramDetailsResource
                        ? static_cast<TDialog*>(new TDlgGenHelp(parent, resource_id))
                        : new TDlgHelp(parent, resource_id);
  window->Execute();
  window->Destroy();
}

}  // namespace morrowby
