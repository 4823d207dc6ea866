// How the program's windows meet a desktop's window manager: which window may take
// the keyboard focus and when, where a window ends up once the manager has placed
// it, and which window is active again when a dialog closes. On a bare X server the
// same calls hold and change nothing that is seen.
#pragma once

#include <cstdint>

#include <wx/gdicmn.h>
#include <wx/toplevel.h>

namespace morrowby {

// The window never takes the keyboard focus: not when it appears, not when another
// window closes and the manager looks for one to focus, not when clicked (the hidden
// main window). Call before the window is first shown.
void NeverTakeFocus(wxTopLevelWindow* window);

// The window is offered beside the user's work for a moment, as the launch button is:
// it appears without the focus, so whoever had it keeps it and typing goes on there,
// yet a window switcher or a click can give it the keyboard; it is on no task bar or
// pager, asks for no attention, and stands on its own (no window it belongs to, modal
// to none). Call before it is first shown, after its controls exist.
void OfferBesideWork(wxTopLevelWindow* window);

// The window is named `name` for task lists and screen readers, while its caption stays
// as it is (it has no title bar to show one). Call before it is first shown.
void NameWindow(wxTopLevelWindow* window, const wxString& name);

// Unfocused, the window keeps its active look, never the toolkit's greyed "backdrop"
// one, in which a button looks disabled: for a window that is meant to be clicked
// while another program has the focus.
void KeepActiveLook(wxTopLevelWindow* window);

// The window's outer top-left corner (the frame included) is at `where` in screen
// pixels from its first frame on: the manager is told the place was chosen for it,
// and should a manager place it elsewhere all the same, it is moved there once mapped.
void KeepPlacement(wxTopLevelWindow* window, const wxPoint& where);

// Once the window is mapped it is no larger than the work area of the monitor it
// opened on, and lies inside it: for the toolkit's own dialogs, which size themselves
// (GTK's file chooser takes the size it last had, on whatever screen). Call before
// it is first shown.
void FitOnScreen(wxTopLevelWindow* window);

// Makes the window the active one (focus and active look) as of the user's last input,
// so that a manager's focus-stealing prevention lets it through.
void ActivateWindow(wxTopLevelWindow* window);

// Takes the display server's clock now as the run's launch time: the time of "the
// user's last input" while this program has had none (a run started for its Setup
// window from a terminal), later than anything the user did before starting it. Call
// once at start, with a window that exists (realized) but need not be shown.
void NoteLaunchTime(wxTopLevelWindow* window);

// The display server's time of the user's last input to this program, else the run's
// launch time (NoteLaunchTime); 0 when neither is known.
uint32_t LastInputTime();

// Once `window` is mapped it is made active as of the user's last input; `leaving`
// (which may be null) is hidden only when `window` has the focus, or after a short
// wait for a manager that gives it none, so that no manager hands the focus to
// another program in between. `leaving` is hidden below the toolkit's wrapper: a
// modal run it is in goes on until it is ended as usual. Call before `window` is
// first shown; `leaving` must outlive `window`.
void ActivateOnMap(wxTopLevelWindow* window, wxTopLevelWindow* leaving);

}  // namespace morrowby
