// Test support for the Setup windows: a double for the file dialogs and message boxes
// that answers from a queue and records what was asked, and a finder for the modal
// window of a resource that is running now.
#pragma once

#include <gtk/gtk.h>
#include <wx/toplevel.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/ui_driver.h"
#include "ui/dialog.h"
#include "ui/user_prompts.h"

namespace morrowby {
namespace testing {

class PromptDouble : public UserPrompts {
 public:
  struct Message {
    wxWindow* owner;
    std::string text;
    std::string caption;
    long icon;
  };
  struct Asked {
    wxWindow* owner;
    FileDialogOptions options;
  };
  struct Question {
    wxWindow* owner;
    std::string text;
    std::string caption;
  };

  PromptDouble() { UsePrompts(this); }
  ~PromptDouble() override { UsePrompts(nullptr); }

  // The next file dialog's answer; with none queued, a dialog is cancelled.
  void Choose(const std::string& path) { answers.push_back({FileChoice::kChosen, path}); }
  void Cancel() { answers.push_back({FileChoice::kCancelled, ""}); }
  // The next question's answer; with none queued, a question is answered No.
  void Reply(bool yes) { replies.push_back(yes); }

  FileChoice ChooseFile(wxWindow* owner, const FileDialogOptions& options) override {
    asked.push_back({owner, options});
    if (answers.empty()) return FileChoice();
    FileChoice next = answers.front();
    answers.pop_front();
    return next;
  }
  void ShowMessage(wxWindow* owner, const std::string& text, const std::string& caption,
                   long icon) override {
    messages.push_back({owner, text, caption, icon});
  }
  bool AskYesNo(wxWindow* owner, const std::string& text, const std::string& caption) override {
    questions.push_back({owner, text, caption});
    if (replies.empty()) return false;
    const bool yes = replies.front();
    replies.pop_front();
    return yes;
  }

  std::deque<FileChoice> answers;
  std::vector<Asked> asked;
  std::vector<Message> messages;
  std::deque<bool> replies;
  std::vector<Question> questions;
};

// The window of `resource_id` whose modal run is going on; nullptr when there is none.
template <class Window = TDialog>
Window* RunningWindow(int resource_id) {
  for (wxWindow* w : wxTopLevelWindows) {
    auto* dialog = dynamic_cast<TDialog*>(w);
    if (dialog != nullptr && dialog->IsModal() && dialog->ResourceId() == resource_id)
      return dynamic_cast<Window*>(dialog);
  }
  return nullptr;
}

// Runs `window` modally and calls `act` from inside its modal run once it is on
// screen; a window that `act` leaves open is then cancelled. Destroys the window.
template <class Window>
void RunWindow(Window* window, const std::function<void(Window*)>& act) {
  WhenReady([window] { return window->IsModal() && window->IsShownOnScreen(); },
            [window, act] {
              act(window);
              if (window->IsModal()) window->SendCommand(2);
            });
  window->Execute();
  window->Destroy();
}

// What the Help button (9) of `window` opened: the help window's parent, and
// whether `window` was still open underneath while the help window was shown. The
// help window is closed with a real click on its Close button.
struct HelpSeen {
  wxWindow* parent = nullptr;
  bool opener_open = false;
};
inline HelpSeen PressHelp(TDialog* window, int help_resource) {
  HelpSeen seen;
  WhenReady([help_resource] { return RunningWindow(help_resource) != nullptr; },
            [&] {
              TDialog* help = RunningWindow(help_resource);
              seen.parent = help->GetParent();
              seen.opener_open = window->IsModal() && window->IsShown();
              ClickWithMouse(help->FindWindow(2));
            });
  window->SendCommand(9);
  return seen;
}

// What a screen reader is told of a control: its name, or its description.
inline std::string ScreenReaderName(wxWindow* control) {
  const char* name = atk_object_get_name(gtk_widget_get_accessible(GTK_WIDGET(control->GetHandle())));
  return name != nullptr ? name : "";
}
inline std::string ScreenReaderDescription(wxWindow* control) {
  const char* text =
      atk_object_get_description(gtk_widget_get_accessible(GTK_WIDGET(control->GetHandle())));
  return text != nullptr ? text : "";
}

// The text of a window's control, with the line breaks of wrapping undone.
inline std::string ControlText(wxWindow* window, int id) {
  wxString text = window->FindWindow(id)->GetLabel();
  text.Replace("\n", " ");
  return text.utf8_string();
}

}  // namespace testing
}  // namespace morrowby
