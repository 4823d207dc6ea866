// What a screen reader is told of a control beyond what the toolkit tells it: a name
// for a control whose caption does not say what it is, and a description of its
// state. Through the control's accessible object (ATK), which the desktop's
// accessibility bus reads. UI thread only; the control must exist.
#pragma once

#include <wx/string.h>
#include <wx/window.h>

namespace morrowby {

void SetScreenReaderName(wxWindow* control, const wxString& name);
void SetScreenReaderDescription(wxWindow* control, const wxString& description);

// The window is a notification to a screen reader, which speaks it (its name) by
// itself when it appears, without the focus moving to it.
void AnnounceWhenShown(wxWindow* window);

}  // namespace morrowby
