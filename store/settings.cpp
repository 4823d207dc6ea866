// TOLVERA.INI on SimpleIni. Nothing is cached: each call reads the file afresh, so
// the stored value is always the one on disk.
#include "store/settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION  // Debian ships the template bodies behind this switch
#include <SimpleIni.h>

#include "store/atomic_file.h"

namespace morrowby {
namespace {

constexpr const char* kSection = "Morrowby";
constexpr const char* kFileName = "TOLVERA.INI";
// A settings file is a few hundred bytes. One past this is refused, neither read in
// part nor written, rather than risk losing what a partial read would leave out.
constexpr std::size_t kMaxSettingsBytes = std::size_t{64} << 20;

std::string ConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    const passwd* pw = getpwuid(getuid());
    home = pw != nullptr ? pw->pw_dir : "/tmp";
  }
  return std::string(home) + "/.config";
}

// Loads the file into `ini`, its raw bytes into `text` (empty when there is no
// file). False, with the reason, when the file is there but could not be taken in
// whole: it could not be read, it is too large, or it holds a NUL byte (the parser
// stops there). A write must then leave it alone.
// Quotes are on so that a value with blanks at either end (a folder name may end in
// one) is written quoted and read back whole.
bool Load(CSimpleIniA* ini, std::string* text, std::string* why) {
  ini->SetQuotes(true);
  const FileResult read = ReadFileWhole(SettingsFilePath(), kMaxSettingsBytes, text);
  if (!read.ok && read.error != ENOENT) {
    *why = "the file could not be read whole (" + read.reason + "); it is left as it is";
    return false;
  }
  if (text->empty()) return true;
  ini->LoadData(text->data(), text->size());
  if (text->find('\0') != std::string::npos) {
    *why = "the file holds a NUL byte; it is left as it is";
    return false;
  }
  return true;
}

// Comment and blank lines after the file's last key or section header. The parser
// keeps a comment only with the entry that follows it, so these would be dropped.
std::string TrailingComments(const std::string& text) {
  std::size_t end = text.size();  // the tail starts here
  while (end > 0) {
    // The line that ends at `end`, without its line break.
    std::size_t line_end = end;
    if (text[line_end - 1] == '\n') --line_end;
    const std::size_t nl = line_end == 0 ? std::string::npos : text.rfind('\n', line_end - 1);
    const std::size_t line_start = nl == std::string::npos ? 0 : nl + 1;
    const std::size_t first = text.find_first_not_of(" \t\r", line_start);
    const bool blank = first == std::string::npos || first >= line_end;
    if (!blank && text[first] != ';' && text[first] != '#') break;
    end = line_start;
  }
  return text.substr(end);
}

}  // namespace

std::string SettingsFilePath() { return ConfigFolder() + "/" + kFileName; }

std::string ReadSetting(const std::string& key, std::size_t room) {
  if (room == 0) return std::string();
  CSimpleIniA ini;
  std::string text, why;
  Load(&ini, &text, &why);  // what could be read is used
  std::string value = ini.GetValue(kSection, key.c_str(), "");
  if (value.size() > room - 1) value.resize(room - 1);
  return value;
}

bool WriteSetting(const std::string& key, const std::string& value, std::string* reason) {
  auto fail = [&](const std::string& why) {
    if (reason != nullptr) *reason = why;
    std::fprintf(stderr, "morrowby: cannot store %s in %s: %s\n", key.c_str(),
                 SettingsFilePath().c_str(), why.c_str());
    return false;
  };
  if (value.find_first_of("\r\n") != std::string::npos ||
      key.find_first_of("\r\n=[]") != std::string::npos)
    return fail("the value holds a line break");

  CSimpleIniA ini;
  ini.SetSpaces(false);  // "Key=value", as the file has always been written
  std::string before, why;
  if (!Load(&ini, &before, &why)) return fail(why);
  ini.SetValue(kSection, key.c_str(), value.c_str());
  std::string after;
  ini.Save(after);
  const std::string tail = TrailingComments(before);
  if (tail.find_first_of(";#") != std::string::npos) {
    if (!after.empty() && after.back() != '\n') after += '\n';
    after += tail;
  }
  if (after == before) return true;
  // Whatever the file format cannot carry back unchanged (a value in double quotes,
  // control characters) is refused rather than stored altered.
  CSimpleIniA check;
  check.SetQuotes(true);
  check.LoadData(after.data(), after.size());
  if (value != check.GetValue(kSection, key.c_str(), ""))
    return fail("the value cannot be stored as it is");

  if (!MakeFolders(ConfigFolder())) return fail("the folder " + ConfigFolder() + " cannot be made");
  const FileResult written = ReplaceFile(SettingsFilePath(), after);
  if (!written.ok) return fail(written.reason);
  return true;
}

void RecordHomePath() {
  // The key is read as "Homepath": the file's own spelling does not matter.
  std::string stored = ReadSetting("Homepath", 81);
  char buffer[4096];
  const std::string folder = getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
  if (stored.empty() || stored != folder) {
    stored = folder;
    // A write that failed would fail again: one notice is enough.
    if (!WriteSetting("HomePath", stored)) return;
  }
  WriteSetting("HomePath", stored);
}

}  // namespace morrowby
