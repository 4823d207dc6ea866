// Modal runs, command dispatch and the quit request.
#include "ui/dialog.h"

#include <algorithm>
#include <vector>

#include <gtk/gtk.h>
#include <wx/app.h>

#include "resources/dialog_layouts.h"
#include "ui/window_manager.h"

namespace morrowby {
namespace {

// The windows whose modal runs are active, innermost last. UI thread only.
std::vector<TDialog*>& ModalRuns() {
  static std::vector<TDialog*> runs;
  return runs;
}

// False on a display with no seat (no keyboard, no pointer), which nobody can answer
// a window on, and where GTK's modal run, looking for the seat's pointer to release,
// would crash.
bool HasSeat() { return gdk_display_get_default_seat(gdk_display_get_default()) != nullptr; }

bool quit_requested = false;
bool main_loop_told = false;

// Carries a quit request one level out: ends the innermost run that is still going,
// or, when no modal run is left, the main loop.
void PassQuitOn() {
  if (!quit_requested) return;
  std::vector<TDialog*>& runs = ModalRuns();
  if (!runs.empty()) {
    // A run whose end is already requested ends by itself when it regains control.
    if (runs.back()->IsModal()) runs.back()->CloseWindow(kCmCancel);
    return;
  }
  if (!main_loop_told && wxTheApp != nullptr) {
    main_loop_told = true;
    wxTheApp->ExitMainLoop();
  }
}

}  // namespace

void PostQuitRequest() {
  quit_requested = true;
  PassQuitOn();
}

bool QuitRequested() { return quit_requested; }

void ResetQuitRequest() {
  quit_requested = false;
  main_loop_told = false;
}

TDialog::TDialog(wxWindow* parent, int resource_id) : resource_id_(resource_id) {
  if (const DialogTemplate* t = FindDialogTemplate(resource_id)) {
    controls_ = BuildDialog(this, parent, *t);
    // Window managers centre dialogs, or place them by rules of their own.
    KeepPlacement(this, GetPosition());
  }
  SetAffirmativeId(kCmOk);
  SetEscapeId(kCmCancel);
  Bind(wxEVT_BUTTON, &TDialog::OnButton, this);
  Bind(wxEVT_CHAR_HOOK, &TDialog::OnCharHook, this);
  Bind(wxEVT_CLOSE_WINDOW, &TDialog::OnClose, this);
}

TDialog::~TDialog() {
  std::vector<TDialog*>& runs = ModalRuns();
  runs.erase(std::remove(runs.begin(), runs.end(), this), runs.end());
}

int TDialog::Execute() {
  SetupWindow();
  if (quit_requested || !HasSeat()) return kCmCancel;
  ModalRuns().push_back(this);
  const int code = ShowModal();
  std::vector<TDialog*>& runs = ModalRuns();
  runs.erase(std::remove(runs.begin(), runs.end(), this), runs.end());
  // The window that opened this one is active again, rather than whatever window the
  // window manager would pick.
  auto* opener = dynamic_cast<TDialog*>(GetParent());
  if (opener != nullptr && opener->IsShown() && !quit_requested) ActivateWindow(opener);
  PassQuitOn();
  return code;
}

void TDialog::SendCommand(int id) {
  wxCommandEvent event(wxEVT_BUTTON, id);
  event.SetEventObject(this);
  ProcessWindowEvent(event);
}

void TDialog::CloseWindow(int code) {
  if (IsModal()) EndModal(code);
}

void TDialog::OnButton(wxCommandEvent& event) {
  const int id = event.GetId();
  if (HandleCommand(id)) return;
  if (id == kCmOk || id == kCmCancel) CloseWindow(id);
}

void TDialog::OnCharHook(wxKeyEvent& event) {
  if (event.GetKeyCode() == WXK_ESCAPE && event.GetModifiers() == wxMOD_NONE) {
    SendCommand(kCmCancel);
    return;
  }
  event.Skip();
}

void TDialog::OnClose(wxCloseEvent& event) {
  // The close box is the cancel command; the window itself is not destroyed here.
  if (event.CanVeto()) event.Veto();
  SendCommand(kCmCancel);
}

}  // namespace morrowby
