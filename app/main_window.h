// TWndw, the main window: never seen (out of sight at -100, -100), it carries the
// run. The greeting (start-up time, song list, sound) began before it existed; timer 0
// (10 ms) waits for that sound to have been played and offers the launch button;
// timer 1 (2 s) ends the launch window and opens the Setup window when the button was
// left pressed in.
#pragma once

#include <wx/frame.h>
#include <wx/timer.h>

#include "app/greeting.h"
#include "sound/song_choice.h"

namespace morrowby {

class TDlg4;

// The launch window that ShowLaunchWindow created last; not deleted during the run.
extern TDlg4* LaunchWindow;

// Set by --setup before the run: the set-up step then opens the Setup window at once,
// with no greeting and no launch button, and the run ends when it has closed.
extern bool SetupAtOnce;

class TWndw : public wxFrame {
 public:
  explicit TWndw(Greeting& greeting);

  // The set-up step; runs once, right after the window has been created and shown.
  // Starts timer 0, or opens the Setup window at once when the run was asked for it.
  void SetupWindow();

  // Starts timer 1 and runs the launch window until it ends.
  void ShowLaunchWindow();

  const StartUpTime& StartTime() const { return greeting_.Time(); }

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

  Greeting& greeting_;
  wxTimer timer0_;
  wxTimer timer1_;
};

}  // namespace morrowby
