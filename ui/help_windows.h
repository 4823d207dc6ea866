// TDlgHelp and TDlgGenHelp: the windows of fixed text (About, Program Details, Song
// Entry Help, Selection Modes, Initial Setting-up). They change nothing; their Close
// button (command 2) ends them.
#pragma once

#include "ui/dialog.h"

namespace morrowby {

// About (4), Song Entry Help (7), Selection Modes (8), Initial Setting-up (9).
class TDlgHelp : public TDialog {
 public:
  TDlgHelp(wxWindow* parent, int resource_id);
};

// Program Details (5). Its "Tech info" button has no handler and does nothing.
class TDlgGenHelp : public TDialog {
 public:
  TDlgGenHelp(wxWindow* parent, int resource_id);
};

// Opens a window of this kind over `parent` and returns when it has been closed.
void ShowHelpWindow(wxWindow* parent, int resource_id);

}  // namespace morrowby
