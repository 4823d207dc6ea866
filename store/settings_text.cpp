// Looking up and editing one key of a settings text, line by line.
#include "store/settings_text.h"

#include <cstring>
#include <vector>

namespace morrowby {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// One line of the text: [start, end) is its content, [end, next) its line break.
struct Line {
  std::size_t start, end, next;
};

// Where an entry line's parts are, for the edit: the value starts after '=' and the
// blanks that follow it.
struct Entry {
  std::string key;
  std::string value;
  std::size_t value_start = 0;
};

std::vector<Line> SplitLines(const std::string& text, std::size_t from) {
  std::vector<Line> lines;
  const std::size_t stop = std::min(text.size(), text.find('\0'));
  std::size_t at = from;
  while (at < stop) {
    std::size_t end = at;
    while (end < stop && text[end] != '\n' && text[end] != '\r') ++end;
    std::size_t next = end;
    if (next < stop) next += (text[next] == '\r' && next + 1 < stop && text[next + 1] == '\n') ? 2 : 1;
    lines.push_back(Line{at, end, next});
    at = next;
  }
  return lines;
}

std::size_t FirstNonBlank(const std::string& text, const Line& line) {
  std::size_t at = line.start;
  while (at < line.end && IsBlank(text[at])) ++at;
  return at;
}

// Where `c` first comes in the line from `at` on; npos when the line has none. The
// search stops at the line's end: a text of many lines stays one pass.
std::size_t FindInLine(const std::string& text, const Line& line, std::size_t at, char c) {
  const void* found = std::memchr(text.data() + at, c, line.end - at);
  return found == nullptr ? std::string::npos
                          : static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
}

// The section a header line opens; false for any other line.
bool SectionOf(const std::string& text, const Line& line, std::string* name) {
  std::size_t at = FirstNonBlank(text, line);
  if (at >= line.end || text[at] != '[') return false;
  const std::size_t close = FindInLine(text, line, at, ']');
  if (close == std::string::npos) return false;
  ++at;
  std::size_t last = close;
  while (at < last && IsBlank(text[at])) ++at;
  while (last > at && IsBlank(text[last - 1])) --last;
  *name = text.substr(at, last - at);
  return true;
}

// The entry on a line; false for blank, comment, header and malformed lines.
bool EntryOf(const std::string& text, const Line& line, Entry* entry) {
  const std::size_t at = FirstNonBlank(text, line);
  if (at >= line.end || text[at] == ';' || text[at] == '#' || text[at] == '[') return false;
  const std::size_t eq = FindInLine(text, line, at, '=');
  if (eq == std::string::npos || eq == at) return false;
  std::size_t key_end = eq;
  while (key_end > at && IsBlank(text[key_end - 1])) --key_end;
  entry->key = text.substr(at, key_end - at);
  std::size_t value_start = eq + 1;
  while (value_start < line.end && IsBlank(text[value_start])) ++value_start;
  std::size_t value_end = line.end;
  while (value_end > value_start && IsBlank(text[value_end - 1])) --value_end;
  entry->value_start = value_start;
  entry->value = text.substr(value_start, value_end - value_start);
  if (entry->value.size() >= 2 && entry->value.front() == '"' && entry->value.back() == '"')
    entry->value = entry->value.substr(1, entry->value.size() - 2);
  return true;
}

// What the text says about one key of one section, found in one pass.
struct Found {
  bool has_entry = false;
  Line entry_line{};        // the entry that counts (the last one)
  Entry entry;
  bool has_section = false;
  std::size_t insert_at = 0;  // after the last header or entry line of the last section
  const Line* insert_after = nullptr;
};

Found Find(const std::string& text, const std::vector<Line>& lines, const std::string& section,
           const std::string& key) {
  Found found;
  bool inside = false;
  for (const Line& line : lines) {
    std::string name;
    Entry entry;
    if (SectionOf(text, line, &name)) {
      inside = SameName(name, section);
      if (inside) found.has_section = true, found.insert_after = &line;
    } else if (inside && EntryOf(text, line, &entry)) {
      found.insert_after = &line;
      if (SameName(entry.key, key)) {
        found.has_entry = true;
        found.entry_line = line;
        found.entry = entry;
      }
    }
  }
  return found;
}

std::string Encoded(const std::string& value) {
  const bool quote = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                                        (value.size() >= 2 && value.front() == '"' && value.back() == '"'));
  return quote ? '"' + value + '"' : value;
}

std::size_t TextStart(const std::string& text) {
  return text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
}

}  // namespace

bool LookUpSetting(const std::string& text, const std::string& section, const std::string& key,
                   std::string* value) {
  const std::vector<Line> lines = SplitLines(text, TextStart(text));
  const Found found = Find(text, lines, section, key);
  if (found.has_entry) *value = found.entry.value;
  return found.has_entry;
}

std::string EditSetting(const std::string& text, const std::string& section, const std::string& key,
                        const std::string& value) {
  const std::vector<Line> lines = SplitLines(text, TextStart(text));
  const Found found = Find(text, lines, section, key);
  if (found.has_entry) {
    const Line& line = found.entry_line;
    return text.substr(0, found.entry.value_start) + Encoded(value) + text.substr(line.end);
  }
  // New lines end as the first line does, "\n" when it has no end.
  std::string eol = "\n";
  if (!lines.empty() && lines.front().next > lines.front().end)
    eol = text.substr(lines.front().end, lines.front().next - lines.front().end);
  const std::string entry_line = key + "=" + Encoded(value) + eol;
  if (found.has_section) {
    const Line& after = *found.insert_after;
    std::string out = text.substr(0, after.next);
    if (after.next == after.end) out += eol;  // the last line of the text, unended
    return out + entry_line + text.substr(after.next);
  }
  // Bytes past a NUL are not text; a caller that writes such a file refuses first.
  std::string out = text;
  if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += eol;
  return out + "[" + section + "]" + eol + entry_line;
}

}  // namespace morrowby
