// TDlg1, the song list editor: ten boxes, one per slot of the program's song list
// (seven, labelled with the days, in day-of-the-week mode). It edits the SongList
// record in memory and never writes the list file; its OK sets ListModified so that
// the Setup window offers to save. A box takes at most a slot's 80 bytes of UTF-8:
// an edit past that is refused whole, with the bell, as typing past 80 characters is.
#pragma once

#include <wx/textctrl.h>

#include <array>

#include "resources/dialog_layouts.h"
#include "store/song_list.h"
#include "ui/dialog.h"

namespace morrowby {

// 1 once the editor's OK has run; the Setup window reads and clears it. UI thread.
extern int ListModified;

class TDlg1 : public TDialog {
 public:
  explicit TDlg1(wxWindow* parent, int resource_id = kSongListEditorResource);

  void CmAddSong();   // "Add Opening Song"
  void CmOpenFile();  // "Open File": another list file becomes the current one
  void CmHelp();      // "Help": the Song Entry Help window
  void CmOk();        // tidies the list into the record and ends the window

  // The song-file chooser: true when a file was chosen, its path then in LastChosenFile.
  bool PickSongFile();

  wxTextCtrl* Box(int slot) { return boxes_[slot]; }

 protected:
  void SetupWindow() override;
  bool HandleCommand(int id) override;

 private:
  void CopyBoxesToList();
  void FillBoxesFromList();
  void ShowInBox(int slot, const std::string& text);
  // Refuses an edit that would take a box past a slot's 80 bytes.
  void OnBoxText(wxCommandEvent& event);

  std::array<wxTextCtrl*, kSlotCount> boxes_{};
  std::array<wxStaticText*, kSlotCount> labels_{};  // each box's
  bool day_layout_ = false;  // seven day slots shown, as the window opened
  std::array<wxString, kSlotCount> accepted_;  // each box's text as last accepted
};

}  // namespace morrowby
