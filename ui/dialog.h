// TDialog: the base of every window of the program, a modal wx dialog built from a
// layout, with its commands dispatched through one table per class.
//
// Commands are numeric ids (the common ones of resources/dialog_template.h, then each
// window's own of resources/dialog_layouts.h). A button press, the Escape key and the
// title bar's close box (both kCmCancel) all arrive as commands; a class's table
// answers the ids it lists, and kCmOk and kCmCancel that it does not list end the
// window. The program's quit request (PostQuitRequest) ends the innermost modal run,
// then each enclosing run in turn as it regains control, then the main loop.
#pragma once

#include <cstddef>

#include <wx/dialog.h>

#include "resources/dialog_template.h"
#include "ui/dialog_builder.h"

namespace morrowby {

template <class Dialog>
struct CommandEntry {
  int id;
  void (Dialog::*handler)();
};

class TDialog : public wxDialog {
 public:
  TDialog(wxWindow* parent, int resource_id);
  ~TDialog() override;

  // Runs the set-up hook, then the window modally; returns its end code. A quit
  // request posted meanwhile ends the run.
  int Execute();

  // Sends a command to the window synchronously: its handler has run to its end when
  // this returns.
  void SendCommand(int id);

  // Ends the modal run with `code`, unless it has already ended.
  void CloseWindow(int code);

  int ResourceId() const { return resource_id_; }

 protected:
  // Runs once, after the controls exist and before the window is shown.
  virtual void SetupWindow() {}
  // Answers a command from the class's table; false when the table has no entry.
  virtual bool HandleCommand(int /*id*/) { return false; }

  // The controls as built, for each class to bind its own once, in its constructor.
  const BuiltControls& Controls() const { return controls_; }

  // Dispatches `id` through a class's table of {id, member} entries.
  template <class Dialog, std::size_t N>
  static bool Dispatch(Dialog* self, const CommandEntry<Dialog> (&table)[N], int id);

 private:
  void OnButton(wxCommandEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void OnClose(wxCloseEvent& event);

  int resource_id_;
  BuiltControls controls_;
};

template <class Dialog, std::size_t N>
bool TDialog::Dispatch(Dialog* self, const CommandEntry<Dialog> (&table)[N], int id) {
  for (const CommandEntry<Dialog>& entry : table)
    if (entry.id == id) {
      (self->*entry.handler)();
      return true;
    }
  return false;
}

// The program's quit request (exit code 0).
void PostQuitRequest();
bool QuitRequested();
// Forgets an earlier quit request; for tests that run the program's windows again.
void ResetQuitRequest();

}  // namespace morrowby
