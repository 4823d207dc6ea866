// Whole-file replacement that never leaves a torn file behind: the new content is
// written to a temporary file in the same folder, flushed to disk and renamed over
// the old one, so readers (and the next run after a crash or a full disk) see either
// the old or the new complete file.
#pragma once

#include <sys/stat.h>

#include <string>

namespace morrowby {

struct FileResult {
  bool ok = false;
  std::string reason;  // the system's words for a failure; empty on success
  int error = 0;       // the errno of a failure, when there is one
};

// Replaces `path` with `content`. A read-only existing file is refused. A new file
// gets mode 0666 less the umask; an existing file keeps its mode. A symbolic link is
// followed, so the file it names is replaced and the link stays. Fails, writing
// nothing, when the folder is missing, when `path` names something other than a
// regular file, or when the disk is full (the old file is then untouched).
//
// A folder that refuses the temporary file (no write permission) fails too, unless
// the file exists and may be written: it is then written in place, cut to the new
// length and flushed. Only that way can such a file be saved at all; a crash in the
// middle of it may leave it torn.
//
// Temporary files are "<name>.XXXXXX" (six letters or digits) beside the file. Those
// that writes cut short left behind are removed by the next write of the same file;
// one that a write going on now holds (it keeps its file locked) is left alone, and so
// is a name whose six characters are all small or all capital letters (more likely a
// user's "songs.dat.backup" than ours).
FileResult ReplaceFile(const std::string& path, const std::string& content);

// Reads at most `limit` bytes from the start of a regular file. Refuses folders,
// FIFOs and devices without blocking on them. Returns false when the file cannot be
// opened or a read fails.
bool ReadFilePrefix(const std::string& path, std::size_t limit, std::string* out);

// Reads the whole of a regular file, as ReadFilePrefix does, or fails: when it cannot
// be opened (a missing file fails with error ENOENT), when a read fails, or when it
// holds more than `limit` bytes. `out` is empty after a failure.
FileResult ReadFileWhole(const std::string& path, std::size_t limit, std::string* out);

// The size in bytes of the file `path` names (links followed); -1 when there is none.
long long FileSize(const std::string& path);

// Opens a regular file for reading, close-on-exec, and fills `st`. Folders, FIFOs and
// devices are refused without blocking on them (the descriptor is non-blocking;
// clear O_NONBLOCK to read as usual). -1 with errno for anything else.
int OpenRegularFile(const std::string& path, struct stat* st);

// Creates a folder and its missing parents (mode 0700 for new ones).
bool MakeFolders(const std::string& path);

}  // namespace morrowby
