// The windows' texts in the user's language, through wx's translations: the
// program's own catalogue (store/translation.h), wx's and GTK's. UI thread only.
#pragma once

#include <wx/string.h>

#include <string>

namespace morrowby {

// Loads the program's catalogue from `folder`, and wx's own, for `language` ("de",
// "fr_FR"), or with none for the language the environment names (after
// UseUserLanguage has set the locale, which GTK's own texts, such as the file
// chooser's, follow). Call once the toolkit has started; again to change language.
void UseUserLanguageInWindows(const std::string& folder, const std::string& language = "");

// `english` (UTF-8) as the windows show it: its translation, or itself.
wxString ShownText(const char* english);

// The same, as UTF-8 bytes, for the texts the program composes from bytes.
std::string ShownBytes(const char* english);

// The printf format `english`, shown so, with the arguments put in as bytes.
std::string ShownFormat(const char* english, ...) __attribute__((format(printf, 1, 2)));

}  // namespace morrowby
