// The program's own texts in the user's language. The English texts are the message
// ids of the catalogue "morrowby" (po/), so a run with no catalogue, or in English,
// shows them exactly. Both programs look texts up through the C library's gettext;
// the windows' texts go through wx (ui/shown_text.h) to the same catalogue. Numbers,
// paths and file names are put into translated texts, never translated themselves.
// Main thread only: UseUserLanguage once, before any other thread starts; Tr from
// then on.
#pragma once

#include <cstdarg>
#include <string>

namespace morrowby {

// Marks a text in a table for the catalogue; it is translated where it is shown.
// Unlike wx's marker of the same name, it adds no parentheses, so that marked texts
// may sit beside plain ones in one literal.
#undef N_
#define N_(text) text

inline constexpr char kTextDomain[] = "morrowby";

// The folder of the catalogues: "locale" beside the running program in a build
// folder, else the installed one (LOCALEDIR/<language>/LC_MESSAGES/morrowby.mo).
std::string CatalogueFolder();

// Takes the locale from the environment (LANG, LC_ALL, LC_MESSAGES, LANGUAGE) and
// binds the catalogue in `folder`, in UTF-8. Nothing is read until the first text is
// looked up.
void UseUserLanguage(const std::string& folder = CatalogueFolder());

// `english` in the user's language; `english` itself when the catalogue has none.
// The result lives as long as the program. For a format, the translation takes the
// same arguments in the same order.
const char* Tr(const char* english) __attribute__((format_arg(1)));

// The printf format `english`, translated, with the arguments put in: the bytes of a
// path go in unchanged.
std::string TrFormat(const char* english, ...) __attribute__((format(printf, 1, 2)));

// vsprintf into a string (for TrFormat and the windows' own formats).
std::string FormattedList(const char* format, va_list args);

}  // namespace morrowby
