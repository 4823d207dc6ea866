// The settings file TOLVERA.INI, section Morrowby: three text keys (HomePath, CurFile,
// DateLine) read and written one at a time, straight from and to the file.
//
// The file lives in $XDG_CONFIG_HOME (or ~/.config when that is unset or not an
// absolute path). Section and key names match without regard to case. A write edits
// the one line of its key and keeps every other byte; the file is replaced
// atomically, and two copies of the program writing at once both keep their keys.
// Called from the program's main thread only.
#pragma once

#include <string>

#include "store/file_result.h"

namespace morrowby {

// Full path of TOLVERA.INI, worked out afresh on each call from the environment; ""
// when the user has no configuration folder (then nothing is read or written).
std::string SettingsFilePath();

// The key's value in section Morrowby, cut to `room` - 1 characters. A missing file,
// section or key, or an unreadable file, gives the empty text.
std::string ReadSetting(const std::string& key, std::size_t room);

// Stores `value` under `key` in section Morrowby, creating the folder, the file, the
// section and the key as needed; an empty value is kept as "Key=". Fails, changing
// nothing on disk, when there is no configuration folder, when the file cannot be
// read whole or written, when another copy of the program holds it longer than the
// lock's wait (store/file_lock.h), or when the value holds a line break (which would
// smuggle a new key or section into the file). Rewriting a value the file already
// holds leaves the file untouched.
FileResult WriteSetting(const std::string& key, const std::string& value);

// Start-up step: keeps the folder the program was started from under HomePath,
// writing only when the stored value differs.
FileResult RecordHomePath();

}  // namespace morrowby
