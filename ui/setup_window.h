// TDlg2, the Setup window: the hub from which the song list, the play mode and the
// date words are edited and the song list is saved. It has two states: clean (Save
// and Save As hidden, prompt line empty) and offering to save (both shown).
#pragma once

#include "resources/dialog_layouts.h"
#include "ui/dialog.h"

namespace morrowby {

class TDlg2 : public TDialog {
 public:
  explicit TDlg2(wxWindow* parent, int resource_id = kSetupResource);

  void CmSongList();   // "Morrowby": the song list editor
  void CmSetMode();    // "Set Mode": the play mode dialog
  void CmDateWords();  // "Modify Date Words": the date words dialog
  void CmSave();
  void CmSaveAs();
  void CmClose();      // kCmOk: ends the program

  // Asks where the list goes and writes it there, making that file the current list.
  // Returns true when the list was written and recorded for the next run. A cancel
  // writes and changes nothing; a failed write is reported and leaves the current list
  // file as it was; a list written but not recorded (CurFile) is reported too.
  bool SaveListAs();

 protected:
  void SetupWindow() override;
  bool HandleCommand(int id) override;

 private:
  // Writes the list to the current list file; a failure is reported to the user.
  bool SaveToCurrentList();
  void OfferToSave(bool show);
  void SetPrompt(const char* text);

  wxWindow* save_;
  wxWindow* save_as_;
  wxStaticText* prompt_;
};

}  // namespace morrowby
