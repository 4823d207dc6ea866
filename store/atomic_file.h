// Whole-file replacement that never leaves a torn file behind: the new content is
// written to a temporary file in the same folder, flushed to disk and renamed over
// the old one, so readers (and the next run after a crash or a full disk) see either
// the old or the new complete file.
#pragma once

#include <string>

namespace morrowby {

struct FileResult {
  bool ok = false;
  std::string reason;  // the system's words for a failure; empty on success
};

// Replaces `path` with `content`. A read-only existing file is refused. A new file gets mode 0644 less the umask; an
// existing file keeps its mode. A symbolic link is followed, so the file it names is
// replaced and the link stays. Fails, writing nothing, when the folder is missing or
// unwritable, when `path` names something other than a regular file, or when the disk
// is full (the old file is then untouched).
FileResult ReplaceFile(const std::string& path, const std::string& content);

// Reads at most `limit` bytes from the start of a regular file. Refuses folders,
// FIFOs and devices without blocking on them. Returns false when nothing could be read.
bool ReadFilePrefix(const std::string& path, std::size_t limit, std::string* out);

// Creates a folder and its missing parents (mode 0700 for new ones).
bool MakeFolders(const std::string& path);

}  // namespace morrowby
