// The real file dialogs and message boxes, and the reports the windows share.
#include "ui/user_prompts.h"

#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>

#include <gtk/gtk.h>

#include <cctype>

#include "sound/song_file_types.h"
#include "store/song_list.h"
#include "store/translation.h"
#include "ui/byte_text.h"
#include "ui/shown_text.h"
#include "ui/window_manager.h"

namespace morrowby {
namespace {

constexpr char kErrorCaption[] = N_("ERROR");

// A filter's descriptions in the user's language; its patterns exactly as given.
wxString ShownFilter(const char* filter) {
  wxString shown;
  const wxArrayString parts = wxSplit(wxString::FromUTF8(filter), '|', '\0');
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) shown += '|';
    shown += i % 2 == 0 ? ShownText(parts[i].utf8_str()) : parts[i];
  }
  return shown;
}

// The chosen name as the file system's bytes. wx's own path is empty for a name that
// is not UTF-8 (a Latin-1 "caf\xe9.wav"), and such a name must be kept as it is.
std::string ChosenPath(wxFileDialog& dialog) {
  std::string path;
  if (GTK_IS_FILE_CHOOSER(dialog.GetHandle())) {
    gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog.GetHandle()));
    if (name != nullptr) path = name;
    g_free(name);
  }
  return path.empty() ? FromWxText(dialog.GetPath()) : path;
}

class RealPrompts : public UserPrompts {
 public:
  FileChoice ChooseFile(wxWindow* owner, const FileDialogOptions& options) override {
    const long style =
        options.save ? wxFD_SAVE | wxFD_OVERWRITE_PROMPT : wxFD_OPEN | wxFD_FILE_MUST_EXIST;
    wxFileDialog dialog(owner, ShownText("Select a file"), ToWxText(options.folder),
                        wxEmptyString, ShownFilter(options.filter), style);
    FitOnScreen(&dialog);
    for (;;) {
      FileChoice choice;
      if (dialog.ShowModal() != wxID_OK) return choice;
      choice.outcome = FileChoice::kChosen;
      choice.path = ChosenPath(dialog);
      if (!options.save) return choice;
      // The dialog asked about replacing the name as typed; a name that gains its
      // extension here may name another file that exists, so ask about that one.
      const std::string full = WithDefaultExtension(choice.path, options.default_extension);
      if (full != choice.path && wxFileName::Exists(ToWxText(full)) &&
          wxMessageBox(wxString::Format(ShownText("File '%s' already exists, do you really "
                                                 "want to overwrite it?"),
                                        ToWxText(full)),
                       ShownText("Confirm"), wxYES_NO | wxICON_QUESTION, &dialog) != wxYES) {
        dialog.SetPath(ToWxText(choice.path));
        continue;
      }
      choice.path = full;
      return choice;
    }
  }

  void ShowMessage(wxWindow* owner, const std::string& text, const std::string& caption,
                   long icon) override {
    // Without an icon style the toolkit would pick its information icon.
    wxMessageDialog box(owner, ToWxText(text), ToWxText(caption),
                        wxOK | (icon != 0 ? icon : wxICON_NONE));
    box.ShowModal();
  }

  bool AskYesNo(wxWindow* owner, const std::string& text, const std::string& caption) override {
    wxMessageDialog box(owner, ToWxText(text), ToWxText(caption),
                        wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION);
    return box.ShowModal() == wxID_YES;
  }
};

UserPrompts* prompts_in_use = nullptr;

}  // namespace

UserPrompts& Prompts() {
  static RealPrompts real;
  return prompts_in_use != nullptr ? *prompts_in_use : real;
}

void UsePrompts(UserPrompts* prompts) { prompts_in_use = prompts; }

std::string WithDefaultExtension(const std::string& path, const std::string& extension) {
  if (extension.empty() || extension == "*") return path;
  const std::size_t slash = path.find_last_of('/');
  const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
  // A leading dot makes a hidden name, not an extension.
  const std::size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && dot > name) return path;
  return path + "." + extension;
}

std::string SongFilePatterns() {
  std::string patterns;
  for (const char* extension : kSongFileExtensions) {
    std::string upper = extension;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    patterns += (patterns.empty() ? "*." : ";*.") + std::string(extension) + ";*." + upper;
  }
  return patterns;
}

bool ChooseStorablePath(wxWindow* owner, const FileDialogOptions& options, std::string* path) {
  const FileChoice choice = Prompts().ChooseFile(owner, options);
  // A name the dialog could not give is no choice: it would make an empty slot count.
  if (choice.outcome != FileChoice::kChosen || choice.path.empty()) return false;
  if (choice.path.size() > kMaxPathChars) {
    Prompts().ShowMessage(owner,
                          ShownFormat("The path of the chosen file is %d characters long:\n%s\n"
                                      "Morrowby can keep paths of at most %d characters. Please "
                                      "choose a file with a shorter path.",
                                      static_cast<int>(choice.path.size()), choice.path.c_str(),
                                      static_cast<int>(kMaxPathChars)),
                          ShownBytes(kErrorCaption), wxICON_EXCLAMATION);
    return false;
  }
  *path = choice.path;
  return true;
}

void ReportFileFault(wxWindow* owner, const std::string& message) {
  Prompts().ShowMessage(owner, message, ShownBytes(kErrorCaption), wxICON_EXCLAMATION);
}

void ReportSaveFailure(wxWindow* owner, const std::string& path, const FileResult& result) {
  ReportFileFault(owner, ShownFormat("The Song List could not be saved to %s:\n%s\nYour changes "
                                     "are still here; you can save them elsewhere.",
                                     path.c_str(), result.reason.c_str()));
}

void ReportCurrentListFailure(wxWindow* owner, const std::string& path, const FileResult& result) {
  ReportFileFault(owner, ShownFormat("The Song List is now %s, but Morrowby could not record that "
                                     "for the next log-in:\n%s\nThe next log-in will open the "
                                     "list it opened before.",
                                     path.c_str(), result.reason.c_str()));
}

}  // namespace morrowby
