// The program's one song list in memory and the list file it belongs to.
//
// Program-wide state, alive for the whole run and touched only from the program's
// main thread (the one that runs the greeting, or the windows):
// `SongList` is the record every part of the program reads and edits in place;
// `CurrentListPath` names the file that every save writes (set at start-up from the
// CurFile setting, later only by SetCurrentList); `LastChosenFile` is the path last
// chosen in a file dialog. Both paths hold at most 80 characters.
#pragma once

#include <functional>
#include <string>

#include "store/atomic_file.h"
#include "store/song_list.h"

namespace morrowby {

extern SongListRecord SongList;
extern std::string CurrentListPath;
extern std::string LastChosenFile;

// Back to the state at program start: an all-zero record and empty paths.
void ResetSongListState();

// Start-up: makes the file named by CurFile current and loads it.
void OpenCurrentList();

// Overlays the record with the first 818 bytes of the file: a shorter file fills only
// the leading bytes, the rest keep their values. A file that cannot be opened (or is
// not a regular file) leaves the record as it was; returns false then.
bool LoadSongList(const std::string& path);

// Who asks for a save: the user (Save, Save As, the play mode dialog's OK), or the
// run itself (the serial position, with nobody there to be asked).
enum class SaveOrigin { kUser, kRun };

// Writes the whole 818-byte record to CurrentListPath (ReplaceFile: atomically where
// the folder allows it, in place where only the file may be written). Nothing is
// written, and the reason is returned, when CurrentListPath is empty, the folder is
// missing, the existing file is read-only, the disk is full, or another copy of the
// program holds the file locked for longer than 2 s; a save by the run also leaves a
// file longer than the record alone (it is not a song list the user chose to
// overwrite). A failure is told in one line on stderr.
//
// Greetings may have taken turns since the record was loaded, so the serial position
// saved (and kept in SongList) is the one the file holds at that moment, when it
// holds one. The save holds an advisory lock (flock) on the file meanwhile.
FileResult SaveSongList(SaveOrigin origin = SaveOrigin::kUser);

// One turn of serial play, under the list file's lock so that greetings running at
// once each take their own: SongList's SerialPosition is refreshed from the file,
// `choose` advances it (and picks the song), and the record is saved as by the run.
// When the lock cannot be had within 2 s, `choose` runs on the record as loaded and
// nothing is saved (one line on stderr); it never waits longer.
FileResult TakeSerialTurn(const std::function<void(SongListRecord&)>& choose);

// Makes `path` the current list file: CurrentListPath, and CurFile for the next run.
// A path longer than 80 characters does not fit and is refused (returns false,
// nothing changed). When CurFile cannot be stored, the path is current for this run
// only: returns false with the reason in `*reason` when it is given.
bool SetCurrentList(const std::string& path, std::string* reason = nullptr);

// Occupied slots of the program's song list.
int CountSongs();

}  // namespace morrowby
