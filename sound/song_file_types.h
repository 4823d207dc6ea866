// The file name extensions of the sound files a song may be: every format that
// libsndfile reads here (its own list of major formats, checked by a test against the
// library in use), with the other names in common use for the same formats. Headerless
// RAW is left out: it cannot be read without being told its layout.
#pragma once

namespace morrowby {

constexpr const char* kSongFileExtensions[] = {
    "wav",  "aiff", "aif", "aifc", "au",  "snd", "avr", "caf", "flac", "htk",
    "iff",  "svx",  "mat", "mpc",  "m1a", "mp1", "mp2", "mp3", "oga",  "ogg",
    "opus", "paf",  "pvf", "rf64", "sd2", "sds", "sf",  "voc", "w64",  "wve",
    "xi",
};

}  // namespace morrowby
