// wxTranslations over the catalogues of store/translation.h.
#include "ui/shown_text.h"

#include <cstdarg>

#include <wx/translation.h>
#include <wx/uilocale.h>

#include "store/translation.h"

namespace morrowby {

void UseUserLanguageInWindows(const std::string& folder, const std::string& language) {
  if (language.empty()) wxUILocale::UseDefault();
  auto* translations = new wxTranslations;
  wxTranslations::Set(translations);  // owned by wx from here; the one before is deleted
  if (!language.empty()) translations->SetLanguage(wxString::FromUTF8(language));
  wxFileTranslationsLoader::AddCatalogLookupPathPrefix(wxString::FromUTF8(folder));
  translations->AddStdCatalog();
  translations->AddCatalog(kTextDomain);
}

wxString ShownText(const char* english) {
  const wxString id = wxString::FromUTF8(english != nullptr ? english : "");
  // The empty id is a catalogue's header, never a text of the program's.
  if (id.empty() || wxTranslations::Get() == nullptr) return id;
  return wxGetTranslation(id, kTextDomain);
}

std::string ShownBytes(const char* english) { return ShownText(english).utf8_string(); }

std::string ShownFormat(const char* english, ...) {
  va_list args;
  va_start(args, english);
  const std::string out = FormattedList(ShownBytes(english).c_str(), args);
  va_end(args);
  return out;
}

}  // namespace morrowby
