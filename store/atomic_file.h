// Whole-file replacement that never leaves a torn file behind, and bounded reads that
// never block. The new content is written to an unnamed file in the same folder
// (O_TMPFILE; a hidden, marked temporary name where the file system has none),
// flushed to disk and renamed over the old file, so readers, a second copy of the
// program and the next run after a crash or a full disk see either the old or the new
// complete file.
//
// Thread rule: these functions touch no process-wide state (no umask, no working
// folder); any one thread may call them.
#pragma once

#include <sys/stat.h>

#include <string>

#include "store/file_result.h"

namespace morrowby {

// Replaces `path` with `content`.
// - Links are followed (the file they name is replaced and the link stays), except a
//   link that another user put in a sticky, world-writable folder: refused.
// - A read-only file is refused, even for root: its owner marked it so.
// - A file of this user's keeps its permission bits (never the set-user-ID, set-group-ID
//   or sticky bits), its group and its extended attributes (its access control list
//   among them); a new file gets 0666 less the umask. A file whose group or
//   attributes a new file cannot be given is written in place, and so is a file with
//   hard links, which would otherwise part.
// - A file that belongs to another user is never replaced: it is written in place when
//   this user may write it, and refused otherwise.
// - A folder that takes no new file (no write permission) gets the same in-place
//   write for a file that may be written. Only that way can such a file be saved at
//   all; a crash in the middle of it may leave it torn.
// - Fails, writing nothing, when the folder is missing, when `path` names something
//   other than a regular file, or when the disk is full (the old file is untouched).
//
// A temporary that a crash left named is ".<name>.morrowby-tmp-XXXXXX". Each replace
// sweeps the folder of those that are this user's, older than a minute and not locked
// by a write going on; no other file is ever removed.
FileResult ReplaceFile(const std::string& path, const std::string& content);

// Makes `path` with `content` only while nothing at all (no file, no link) has that
// name: the new file is written and flushed under no name or a temporary one first,
// then linked in, which neither replaces nor follows anything. Fails with EEXIST when
// the name is taken, by then too; a new file gets 0666 less the umask.
FileResult CreateNewFile(const std::string& path, const std::string& content);

// Reads at most `limit` bytes from the start of a regular file. Refuses folders,
// FIFOs and devices without blocking on them. Fails when the file cannot be opened
// (ENOENT for a missing one) or a read fails; `out` is empty then.
FileResult ReadFilePrefix(const std::string& path, std::size_t limit, std::string* out);

// Reads the whole of a regular file, as ReadFilePrefix does, or fails: when it cannot
// be opened (a missing file fails with error ENOENT), when a read fails, or when it
// holds more than `limit` bytes. `out` is empty after a failure.
FileResult ReadFileWhole(const std::string& path, std::size_t limit, std::string* out);

// The size in bytes of the file `path` names (links followed); -1 when there is none.
long long FileSize(const std::string& path);

// Opens a regular file for reading, close-on-exec, into `*fd` (the caller closes it),
// and fills `st`. Folders, FIFOs and devices are refused without blocking on them
// (the descriptor is non-blocking; clear O_NONBLOCK to read as usual), and so is a
// link another user put in a shared folder. `*fd` is -1 after a failure.
FileResult OpenRegularFile(const std::string& path, struct stat* st, int* fd);

// Creates a folder and its missing parents (mode 0700 for new ones).
FileResult MakeFolders(const std::string& path);

}  // namespace morrowby
