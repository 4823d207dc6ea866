// TWndw, the main window: never shown (placed out of sight too), it carries the
// windows program's run. The greeting program took the start-up time, loaded the song
// list and plays the sound; timer 0 (10 ms) reads its hand-over until the sound has
// been heard, takes the song list from it and offers the launch button; timer 1 (2 s)
// ends the launch window and opens the Setup window when the button was left pressed
// in.
#pragma once

#include <wx/frame.h>
#include <wx/timer.h>

#include "app/hand_over.h"

namespace morrowby {

class TDlg4;

// The launch window that ShowLaunchWindow created last; not deleted during the run.
extern TDlg4* LaunchWindow;

// Set by --setup before the run: once the hand-over has come, the Setup window opens
// with no launch button, and the run ends when it has closed.
extern bool SetupAtOnce;

class TWndw : public wxFrame {
 public:
  // `hand_over_fd`: the read end of the greeting's hand-over, non-blocking.
  explicit TWndw(int hand_over_fd);

  // The set-up step; runs once, right after the window has been created and shown.
  // Starts timer 0.
  void SetupWindow();

  // Starts timer 1 and runs the launch window until it ends.
  void ShowLaunchWindow();

  // Information commands, opened modally over the main window.
  void CmAbout();
  void CmProgramDetails();
  void CmInitialSettingUp();

 private:
  void OnTimer(wxTimerEvent& event);
  void OnCommand(wxCommandEvent& event);
  void OnClose(wxCloseEvent& event);
  void StartUpTimer();
  void LaunchTimer();

  int hand_over_fd_;
  HandOverReader hand_over_;
  TDlg4* launch_ = nullptr;  // built while the sound ends, not yet shown
  wxTimer timer0_;
  wxTimer timer1_;
};

}  // namespace morrowby
