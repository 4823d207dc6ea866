// The program's questions to the user outside its own windows: the file dialogs and
// the message boxes. Windows ask through Prompts(), so that tests can put a double in
// place of the real dialogs and answer without a human; the program uses only the
// real ones. UI thread only.
#pragma once

#include <wx/window.h>

#include <string>

#include "store/file_result.h"

namespace morrowby {

// What a file dialog offers.
struct FileDialogOptions {
  bool save = false;                   // a save dialog (asks before replacing a file); else an
                                       // open dialog, whose file must exist
  const char* filter = "";             // "description|pattern" pairs, the first one selected
  std::string folder;                  // the starting folder; empty: the toolkit's choice
  const char* default_extension = "";  // added to a typed name that has none
};

// The toolkit's file dialog ends chosen or cancelled; it has no error to report.
struct FileChoice {
  enum Outcome { kChosen, kCancelled };
  Outcome outcome = kCancelled;
  std::string path;  // kChosen: the full path
};

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;
  // Runs a file dialog owned by `owner` and returns when the user has answered.
  virtual FileChoice ChooseFile(wxWindow* owner, const FileDialogOptions& options) = 0;
  // A message box with an OK button, owned by `owner`; `icon` is
  // wxICON_EXCLAMATION or 0 for none. Returns when it has been dismissed.
  virtual void ShowMessage(wxWindow* owner, const std::string& text, const std::string& caption,
                           long icon) = 0;
  // A question with Yes and No buttons, owned by `owner`, No being the default answer.
  // Returns true for Yes, once it has been answered.
  virtual bool AskYesNo(wxWindow* owner, const std::string& text, const std::string& caption) = 0;
};

// The prompts in use: the real dialogs unless a test has put others in place.
UserPrompts& Prompts();
// Puts `prompts` in place of the real dialogs; nullptr goes back to them.
void UsePrompts(UserPrompts* prompts);

// `path` with ".<extension>" added when its file name has no extension of its own;
// unchanged for an empty extension or "*".
std::string WithDefaultExtension(const std::string& path, const std::string& extension);

// The patterns of a filter that shows every sound file a song may be, in lower and
// upper case ("*.wav;*.WAV;*.aiff;*.AIFF;..."): file names are case-sensitive here.
std::string SongFilePatterns();

// Runs a file dialog and returns true with a path the program can keep. A path longer
// than the 80 characters a song slot or list path holds is reported to the user and
// counts as no choice.
bool ChooseStorablePath(wxWindow* owner, const FileDialogOptions& options, std::string* path);

// The windows' one edge for a file operation that failed: `message` (what failed, the
// result's reason and what follows from it, in the user's language) in a message box
// owned by `owner`, caption "ERROR". Every file fault the windows tell goes through
// here.
void ReportFileFault(wxWindow* owner, const std::string& message);

// Tells the user that the song list could not be written to `path`, and why.
void ReportSaveFailure(wxWindow* owner, const std::string& path, const FileResult& result);

// Tells the user that `path` holds the song list now, but could not be recorded as
// the list to open at the next log-in, and why.
void ReportCurrentListFailure(wxWindow* owner, const std::string& path, const FileResult& result);

}  // namespace morrowby
