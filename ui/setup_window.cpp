// The Setup window's handlers. Windows opened from here run modally over it.
#include "ui/setup_window.h"

#include "store/paths.h"
#include "store/song_list_file.h"
#include "store/translation.h"
#include "ui/date_words_dialog.h"
#include "ui/dialog_builder.h"
#include "ui/play_mode_dialog.h"
#include "ui/shown_text.h"
#include "ui/song_list_editor.h"
#include "ui/user_prompts.h"

namespace morrowby {
namespace {

using S = SetupIds;

const CommandEntry<TDlg2> kCommands[] = {
    {S::kSongList, &TDlg2::CmSongList}, {S::kSetMode, &TDlg2::CmSetMode},
    {S::kDateWords, &TDlg2::CmDateWords}, {S::kSave, &TDlg2::CmSave},
    {S::kSaveAs, &TDlg2::CmSaveAs},     {kCmOk, &TDlg2::CmClose},
};

template <class Window>
void RunWindow(wxWindow* parent) {
  Window* window = new Window(parent);
  window->Execute();
  window->Destroy();
}

}  // namespace

TDlg2::TDlg2(wxWindow* parent, int resource_id)
    : TDialog(parent, resource_id),
      save_(Controls().Window(S::kSave)),
      save_as_(Controls().Window(S::kSaveAs)),
      prompt_(Controls().Label(S::kPrompt)) {}

bool TDlg2::HandleCommand(int id) { return Dispatch(this, kCommands, id); }

void TDlg2::SetupWindow() {
  OfferToSave(false);
  SetPrompt("");
}

void TDlg2::CmSongList() {
  RunWindow<TDlg1>(this);
  if (ListModified != 0) {
    OfferToSave(true);
    SetPrompt(kSavePrompt);
  }
  ListModified = 0;
}

void TDlg2::CmSetMode() {
  RunWindow<TDlg3>(this);
  // Offered whatever the outcome: the dialog may have written the list itself.
  OfferToSave(true);
}

void TDlg2::CmDateWords() { RunWindow<TDlgModAn>(this); }

void TDlg2::CmSave() {
  // With no list file yet there is nowhere to save: the user chooses one.
  if (CurrentListPath.empty()) return CmSaveAs();
  if (!SaveToCurrentList()) return;
  OfferToSave(false);
  SetPrompt("");
}

void TDlg2::CmSaveAs() {
  if (!SaveListAs()) return;
  OfferToSave(false);
  SetPrompt("");
}

void TDlg2::CmClose() { PostQuitRequest(); }

bool TDlg2::SaveListAs() {
  FileDialogOptions options;
  options.save = true;
  options.filter = N_("Location Files (*.dat)") "|*.dat|" N_("Text Files (*.txt)") "|*.txt";
  options.folder = FolderOf(LastChosenFile);
  options.default_extension = "dat";
  std::string path;
  if (!ChooseStorablePath(this, options, &path)) return false;
  LastChosenFile = path;
  // The chosen file becomes current only once the list is in it, so a failed write
  // leaves CurrentListPath and CurFile naming the list the user had.
  const FileResult saved = SaveSongListTo(path);
  if (!saved.ok) {
    ReportSaveFailure(this, path, saved);
    return false;
  }
  // The list is in the new file, which stays current for this run; the next run
  // would open the old one, and the user must know that.
  const FileResult made_current = SetCurrentList(path);
  if (!made_current.ok) {
    ReportCurrentListFailure(this, path, made_current);
    return false;
  }
  return true;
}

bool TDlg2::SaveToCurrentList() {
  const FileResult result = SaveSongList();
  if (!result.ok) ReportSaveFailure(this, CurrentListPath, result);
  return result.ok;
}

void TDlg2::OfferToSave(bool show) {
  for (wxWindow* button : {save_, save_as_})
    if (button != nullptr) button->Show(show);
}

void TDlg2::SetPrompt(const char* text) {
  if (prompt_ != nullptr) SetControlText(prompt_, ShownText(text));
}

}  // namespace morrowby
