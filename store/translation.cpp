// Catalogue look-up through the C library (libintl is part of glibc).
#include "store/translation.h"

#include <libintl.h>
#include <sys/stat.h>

#include <clocale>
#include <cstdio>

#include "store/paths.h"

namespace morrowby {

std::string CatalogueFolder() {
  const std::string folder = ProgramFolder();
  const std::string beside = folder + "locale";
  struct stat st;
  if (!folder.empty() && stat(beside.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    return beside;
  return MORROWBY_LOCALE_DIR;
}

void UseUserLanguage(const std::string& folder) {
  std::setlocale(LC_ALL, "");
  bindtextdomain(kTextDomain, folder.c_str());
  bind_textdomain_codeset(kTextDomain, "UTF-8");
}

const char* Tr(const char* english) {
  // The empty id is the catalogue's header, never a text of the program's.
  return *english == '\0' ? english : dgettext(kTextDomain, english);
}

std::string FormattedList(const char* format, va_list args) {
  char small[256];
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  std::string out;
  if (n < 0) {
    out = format;  // a translation that does not parse: its words at least
  } else if (static_cast<std::size_t>(n) < sizeof small) {
    out.assign(small, static_cast<std::size_t>(n));
  } else {
    out.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(&out[0], out.size(), format, again);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(again);
  return out;
}

std::string TrFormat(const char* english, ...) {
  va_list args;
  va_start(args, english);
  const std::string out = FormattedList(Tr(english), args);
  va_end(args);
  return out;
}

}  // namespace morrowby
