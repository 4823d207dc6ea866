// The text of a settings file of the section/key/value kind, looked up and edited one
// line at a time, the way a person edits it: an edit changes the one line of its key
// (or adds one) and leaves every other byte as it was: other sections, repeated
// keys, lines without '=', comments, blank lines, quotes, CRLF or CR line ends, a
// byte-order mark. Pure functions of the text; any thread may call them.
//
// How the text is read: lines end at "\r\n", "\n" or a lone "\r"; a NUL ends the
// text; a UTF-8 byte-order mark is skipped. Blanks (spaces, tabs) before a line are
// skipped. A line starting with ';' or '#' is a comment. "[name]" opens a section
// (blanks inside the brackets trimmed; anything after ']' ignored); lines before the
// first section belong to none. "key=value" is an entry; the key and the value are
// trimmed of blanks, and one pair of double quotes around the value is taken off.
// Lines without '=', or with an empty key, carry nothing. Section and key names
// match without regard to the case of ASCII letters; when a key comes more than
// once in a section (or in repeated sections of one name), the last one counts.
#pragma once

#include <string>

namespace morrowby {

// The value of `key` in section `section`; false when there is none.
bool LookUpSetting(const std::string& text, const std::string& section, const std::string& key,
                   std::string* value);

// `text` with `key` in `section` set to `value`: the line of the key that counts is
// rewritten after its '=' (the key's spelling and the blanks around '=' kept), or one
// "key=value" line is added at the end of the last such section, or the section with
// the line is added at the end of the text. New lines end as the text's first line
// does. A value with blanks at either end, or in double quotes, is written in quotes
// so that it reads back exactly. The caller refuses keys and values that hold a line
// break or a NUL, and keys that hold '=', '[' or ']'.
std::string EditSetting(const std::string& text, const std::string& section, const std::string& key,
                        const std::string& value);

}  // namespace morrowby
