// The run sequence on the main window's two one-shot timers. Everything interactive
// happens in nested modal runs inside the timer handlers; the main loop itself only
// dispatches timer 0 and, at the end, the quit request.
#include "app/main_window.h"

#include <sched.h>

#include <cstdio>

#include "resources/dialog_layouts.h"
#include "sound/stop_request.h"
#include "store/song_list_file.h"
#include "ui/dialog.h"
#include "ui/help_windows.h"
#include "ui/icons.h"
#include "ui/launch_window.h"
#include "ui/setup_opener.h"
#include "ui/window_manager.h"
#include "store/translation.h"

namespace morrowby {

TDlg4* LaunchWindow = nullptr;
bool SetupAtOnce = false;

namespace {
constexpr int kStartUpTimer = 0;
constexpr int kLaunchTimer = 1;
constexpr int kStartUpDelayMs = 10;
constexpr int kLaunchOfferMs = 2000;

constexpr int kCmAbout = 11845;
constexpr int kCmProgramDetails = 11846;
constexpr int kCmInitialSettingUp = 11847;

struct MainCommand {
  int id;
  void (TWndw::*handler)();
};
const MainCommand kCommands[] = {
    {kCmAbout, &TWndw::CmAbout},
    {kCmProgramDetails, &TWndw::CmProgramDetails},
    {kCmInitialSettingUp, &TWndw::CmInitialSettingUp},
};
}  // namespace

TWndw::TWndw(int hand_over_fd)
    : wxFrame(nullptr, wxID_ANY, "Daychime", wxPoint(-100, -100), wxSize(0, 0),
              wxBORDER_NONE | wxMINIMIZE_BOX | wxCLOSE_BOX | wxSYSTEM_MENU),
      hand_over_fd_(hand_over_fd),
      timer0_(this, kStartUpTimer),
      timer1_(this, kLaunchTimer) {
  SetName("Daychime");
  SetIcon(IconResource(1));
  SetBackgroundColour(wxColour(192, 192, 192));
  Bind(wxEVT_TIMER, &TWndw::OnTimer, this);
  Bind(wxEVT_MENU, &TWndw::OnCommand, this);
  Bind(wxEVT_BUTTON, &TWndw::OnCommand, this);
  Bind(wxEVT_CLOSE_WINDOW, &TWndw::OnClose, this);
  // Never shown (no manager guarantees that a window placed off screen stays unseen:
  // a tiling one puts it in the middle), and never the window that typing goes to,
  // should a manager map it after all. It is still the parent of the launch and
  // Setup windows.
  NeverTakeFocus(this);
  NoteLaunchTime(this);
}

void TWndw::SetupWindow() { timer0_.StartOnce(kStartUpDelayMs); }

void TWndw::OnTimer(wxTimerEvent& event) {
  if (event.GetId() == kLaunchTimer)
    LaunchTimer();
  else
    StartUpTimer();
}

void TWndw::StartUpTimer() {
  timer0_.Stop();
  // Until the greeting says its last sample has been heard, look again shortly. The
  // loop keeps turning meanwhile, so the desktop never sees the program as hung
  // during a long song.
  switch (ReadHandOver(hand_over_fd_, &hand_over_)) {
    case HandOverReader::kHasState:
      // The sound's last part plays: the launch window is built now, hidden, so
      // that it only has to be shown when the sound has been heard.
      if (!SetupAtOnce && launch_ == nullptr) launch_ = new TDlg4(this, kLaunchResource);
      [[fallthrough]];
    case HandOverReader::kWaiting:
      timer0_.StartOnce(kStartUpDelayMs);
      return;
    case HandOverReader::kMismatch:
    case HandOverReader::kBroken:
      // A greeting that was stopped closes the channel: that needs no words.
      if (!StopRequested())
        std::fprintf(stderr, "morrowby: %s; %s\n", hand_over_.Problem().c_str(),
                     SetupAtOnce ? Tr("the Setup window cannot open") : Tr("no Setup button"));
      PostQuitRequest();
      return;
    case HandOverReader::kEnded:
      break;
  }
  // Started as a batch job beside the sound (WindowsLauncher); now the windows are
  // what the user waits for.
  sched_param usual{};
  sched_setscheduler(0, SCHED_OTHER, &usual);
  SongList = hand_over_.State().list;
  CurrentListPath = hand_over_.State().current_list_path;
  if (SetupAtOnce)
    OpenSetupWindow(this);
  else
    ShowLaunchWindow();
  PostQuitRequest();
}

void TWndw::LaunchTimer() {
  timer1_.Stop();
  // The launch window may already have been ended from the keyboard: then there is
  // nothing to decide, and the run is ending anyway.
  if (LaunchWindow == nullptr || !LaunchWindow->IsModal()) return;
  LaunchWindow->SendCommand(kCmOk);
  // Wanted, the Setup window takes the focus from the launch window, which goes only
  // then (its run ends after the Setup window's): were it gone first, the manager
  // would hand the focus back to another program before the Setup window came.
  if (SetupRequested != 0) OpenSetupWindow(this, LaunchWindow);
  LaunchWindow->CloseWindow(kCmCancel);
  PostQuitRequest();
}

void TWndw::ShowLaunchWindow() {
  if (QuitRequested()) return;
  timer1_.StartOnce(kLaunchOfferMs);
  LaunchWindow = launch_ != nullptr ? launch_ : new TDlg4(this, kLaunchResource);
  launch_ = nullptr;
  LaunchWindow->Execute();
  timer1_.Stop();
}

void TWndw::OnCommand(wxCommandEvent& event) {
  for (const MainCommand& c : kCommands)
    if (c.id == event.GetId()) return (this->*c.handler)();
  event.Skip();
}

void TWndw::CmAbout() { ShowHelpWindow(this, kAboutResource); }
void TWndw::CmProgramDetails() { ShowHelpWindow(this, kProgramDetailsResource); }
void TWndw::CmInitialSettingUp() { ShowHelpWindow(this, kInitialSettingUpResource); }

void TWndw::OnClose(wxCloseEvent& event) {
  // A close request (from the session, say): end the run the orderly way.
  if (event.CanVeto()) event.Veto();
  PostQuitRequest();
}

}  // namespace morrowby
