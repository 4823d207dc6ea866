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

#include "store/file_result.h"
#include "store/song_list.h"

namespace morrowby {

extern SongListRecord SongList;
extern std::string CurrentListPath;
extern std::string LastChosenFile;

// Back to the state at program start: an all-zero record and empty paths.
void ResetSongListState();

// Start-up: makes the file named by CurFile current and loads it. A list that cannot
// be loaded leaves the record as it was (the run plays no song) and fails; no CurFile
// is no failure.
FileResult OpenCurrentList();

// Overlays the record with the first 818 bytes of the file: a shorter file fills only
// the leading bytes, the rest keep their values. A file that cannot be opened (or is
// not a regular file) leaves the record as it was, and fails.
FileResult LoadSongList(const std::string& path);

// Who asks for a save: the user (Save, Save As, the play mode dialog's OK), or the
// run itself (the serial position, with nobody there to be asked).
enum class SaveOrigin { kUser, kRun };

// Writes the whole 818-byte record to CurrentListPath (ReplaceFile: atomically where
// the folder allows it, in place where only the file may be written), under the list
// file's lock (store/file_lock.h). Nothing is written, and the reason is returned,
// when CurrentListPath is empty, the folder is missing, the existing file is
// read-only, the disk is full, or another copy of the program holds the lock past
// its wait; a save by the run also leaves a file longer than the record alone (it is
// not a song list the user chose to overwrite).
//
// Greetings may have taken turns since the record was loaded, so the serial position
// saved (and kept in SongList) is the one the file holds at that moment, when it
// holds one.
FileResult SaveSongList(SaveOrigin origin = SaveOrigin::kUser);

// Save As: writes the record to `path` as SaveSongList writes it, under that file's
// lock. The turns taken meanwhile are kept only when `path` names the current list
// file itself; any other file receives the record as it is. Makes nothing current.
FileResult SaveSongListTo(const std::string& path);

// One turn of serial play, under the list file's lock so that greetings running at
// once each take their own: SongList's SerialPosition is refreshed from the file,
// `choose` advances it (and picks the song), and the record is saved as by the run.
// When the lock cannot be had in time, `choose` runs on the record as loaded and
// nothing is saved; it never waits longer than the lock's wait.
FileResult TakeSerialTurn(const std::function<void(SongListRecord&)>& choose);

// Makes `path` the current list file: CurrentListPath, and CurFile for the next run.
// A path longer than 80 characters does not fit and is refused (nothing changed).
// When CurFile cannot be stored, the path is current for this run only, and the
// reason is returned.
FileResult SetCurrentList(const std::string& path);

// Occupied slots of the program's song list.
int CountSongs();

}  // namespace morrowby
