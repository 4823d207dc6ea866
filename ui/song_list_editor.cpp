// The song list editor's handlers. The boxes are copied into the record on Add
// Opening Song and OK; the record is shown in the boxes on opening and after a list
// file has been opened.
#include "ui/song_list_editor.h"

#include <wx/stattext.h>
#include <wx/utils.h>

#include <algorithm>

#include "store/atomic_file.h"
#include "store/paths.h"
#include "store/song_list_file.h"
#include "store/song_list_tidy.h"
#include "store/translation.h"
#include "ui/byte_text.h"
#include "ui/dialog_builder.h"
#include "ui/help_windows.h"
#include "ui/screen_reader.h"
#include "ui/shown_text.h"
#include "ui/user_prompts.h"

namespace morrowby {

int ListModified = 0;

namespace {

using E = SongListEditorIds;
constexpr int kDaySlots = 7;

const CommandEntry<TDlg1> kCommands[] = {
    {E::kAddSong, &TDlg1::CmAddSong},
    {kCmOk, &TDlg1::CmOk},
    {E::kOpenFile, &TDlg1::CmOpenFile},
    {kCmHelp, &TDlg1::CmHelp},
};

// At most a slot's 80 bytes of a box's text, never splitting a character.
std::string SlotBytes(const wxString& text) {
  std::string bytes = FromWxText(text);
  if (bytes.size() <= kMaxPathChars) return bytes;
  std::size_t end = kMaxPathChars;
  while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) --end;
  return bytes.substr(0, end);
}

}  // namespace

TDlg1::TDlg1(wxWindow* parent, int resource_id) : TDialog(parent, resource_id) {
  for (int i = 0; i < kSlotCount; ++i) {
    boxes_[i] = Controls().Edit(E::kFirstBox + i);
    labels_[i] = Controls().Label(E::kFirstLabel + 2 * i);
  }
}

bool TDlg1::HandleCommand(int id) { return Dispatch(this, kCommands, id); }

void TDlg1::SetupWindow() {
  for (int i = 0; i < kSlotCount; ++i) {
    Box(i)->SetMaxLength(kMaxPathChars);
    Box(i)->Bind(wxEVT_TEXT, &TDlg1::OnBoxText, this);
  }
  FillBoxesFromList();
  // The layout follows the mode the list had when the window opened; a list opened
  // later with another mode shows in it the next time.
  day_layout_ = SongList.PlayMode == PlayMode::kDayOfWeek;
  for (int i = 0; i < kSlotCount; ++i) {
    wxStaticText* label = labels_[i];
    if (day_layout_ && i >= kDaySlots) {
      // Hidden, the boxes keep slots 7 to 9, and OK writes them back unchanged.
      label->Hide();
      Box(i)->Hide();
      continue;
    }
    SetControlText(label, ShownText(day_layout_ ? kSlotDayLabels[i] : kSlotNumberLabels[i]));
    // A screen reader names each box as its label shows it.
    SetScreenReaderName(Box(i), label->GetLabel());
  }
}

void TDlg1::CopyBoxesToList() {
  for (int i = 0; i < kSlotCount; ++i) SongList.SetSlotText(i, SlotBytes(Box(i)->GetValue()));
}

void TDlg1::FillBoxesFromList() {
  for (int i = 0; i < kSlotCount; ++i) ShowInBox(i, SongList.SlotText(i));
}

void TDlg1::ShowInBox(int slot, const std::string& text) {
  accepted_[slot] = ToWxText(text);
  Box(slot)->ChangeValue(accepted_[slot]);
}

void TDlg1::OnBoxText(wxCommandEvent& event) {
  const int slot = event.GetId() - E::kFirstBox;
  if (slot < 0 || slot >= kSlotCount) return;
  wxTextCtrl* box = Box(slot);
  const wxString now = box->GetValue();
  if (FromWxText(now).size() <= kMaxPathChars) {
    accepted_[slot] = now;
    return;
  }
  // The caret goes back to where the refused text would have started.
  const long grown = static_cast<long>(now.length()) - static_cast<long>(accepted_[slot].length());
  const long caret = std::max(0L, box->GetInsertionPoint() - std::max(0L, grown));
  box->ChangeValue(accepted_[slot]);
  box->SetInsertionPoint(std::min(caret, box->GetLastPosition()));
  wxBell();
}

void TDlg1::CmAddSong() {
  CopyBoxesToList();
  SongList.SongCount = static_cast<int16_t>(CountSongs());
  if (SongList.SongCount > 9) {
    Prompts().ShowMessage(this,
                          ShownBytes("You already have the maximum of 10 Opening Songs set\n"
                                     "You must delete one before trying to add a new on!"),
                          ShownBytes("Too Many Songs"), 0);
    return;
  }
  // With at most nine songs there is a free slot. In day-of-the-week mode with every
  // day taken it is one of the hidden slots 7 to 9, kept like the others.
  const int slot = FirstFreeSlot(SongList, kSlotCount);
  if (!PickSongFile()) return;
  SongList.SetSlotText(slot, LastChosenFile);
  ShowInBox(slot, LastChosenFile);
  ++SongList.SongCount;
}

bool TDlg1::PickSongFile() {
  FileDialogOptions options;
  // The music filter keeps its name, but shows every sound file a song may be.
  static const std::string filter = std::string(N_("(Music Files*.WAV)") "|") + SongFilePatterns() +
                                    "|" N_("All Files(*.*)") "|*.*";
  options.filter = filter.c_str();
  options.default_extension = "*";
  std::string path;
  if (!ChooseStorablePath(this, options, &path)) return false;
  LastChosenFile = path;
  return true;
}

void TDlg1::CmOpenFile() {
  FileDialogOptions options;
  options.filter = N_("Locations (*.dat)") "|*.dat|" N_("All files (*.*)") "|*.*";
  options.folder = FolderOf(CurrentListPath);
  options.default_extension = "dat";
  std::string path;
  // Nothing chosen: the boxes keep what the user has typed.
  if (!ChooseStorablePath(this, options, &path)) return;
  // Any other size is not a list this program wrote (a sound file picked by mistake),
  // and the next save would put the list in its place.
  const long long size = FileSize(path);
  if (size >= 0 && size != static_cast<long long>(kSongListBytes) &&
      !Prompts().AskYesNo(this,
                          ShownFormat("The file %s holds %lld bytes; a Song List holds %d.\nIf "
                                      "you open it as the Song List, saving will replace its "
                                      "contents.\nOpen it all the same?",
                                      path.c_str(), size, static_cast<int>(kSongListBytes)),
                          ShownBytes("Open File")))
    return;
  if (!LoadSongList(path).ok) {
    // The file stays out of use: making it current would let Save overwrite it with
    // a list it never held.
    ReportFileFault(this, ShownFormat("The Song List %s could not be read.", path.c_str()));
    return;
  }
  const FileResult made_current = SetCurrentList(path);
  if (!made_current.ok) ReportCurrentListFailure(this, path, made_current);
  FillBoxesFromList();
}

void TDlg1::CmHelp() { ShowHelpWindow(this, kSongEntryHelpResource); }

void TDlg1::CmOk() {
  CopyBoxesToList();
  TidySongList(SongList, SongList.PlayMode == PlayMode::kDayOfWeek);
  ListModified = 1;
  CloseWindow(kCmCancel);
}

}  // namespace morrowby
