// Path facts the whole program shares: the folder and name parts of a path, the
// user's configuration folder, and how a path that may pass through symbolic links
// is resolved safely. Plain functions of the path and the environment; callable from
// any thread that owns the environment (nothing here changes it).
#pragma once

#include <string>
#include <vector>

#include "store/file_result.h"

namespace morrowby {

// The folder part of `path`: "/" for a file at the root, "." for a bare name (it is
// relative to the working folder), "" for the empty path.
std::string FolderOf(const std::string& path);

// The last part of `path`: everything after its last '/'.
std::string NameOf(const std::string& path);

// The folder of the running program, with its final '/'; "" when unknown.
std::string ProgramFolder();

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path,
// else ~/.config ($HOME, or the password database's home when that is unset). ""
// when there is none of them: never a shared folder in their place.
std::string ConfigFolder();

// The absolute folders of the colon-separated list in the environment variable
// `var` (XDG_CONFIG_DIRS, XDG_DATA_DIRS), or of `fallback` when it is unset or empty,
// in order; relative entries are left out, as the XDG rules say.
std::vector<std::string> XdgFolderList(const char* var, const char* fallback);

// The file `path` finally names, following symbolic links wherever they sit in the
// path (a dangling one too, so that a link to a file not yet made names that file).
// A link is refused as the kernel's protected-symlinks rule would: one that sits in a
// sticky, world-writable folder (such as /tmp) and belongs neither to this user nor
// to the folder's owner. Fails with ELOOP for such a link or for too many links, or
// with what the look-up failed with.
FileResult ResolveSafely(const std::string& path, std::string* resolved);

}  // namespace morrowby
