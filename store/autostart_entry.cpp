// The log-in entry switched on and off: written only where no name is taken, and
// removed only when what the name holds is the entry Morrowby made.
#include "store/autostart_entry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "store/paths.h"
#include "store/translation.h"

namespace morrowby {
namespace {

constexpr const char* kEntryName = "morrowby.desktop";
constexpr const char* kProgramName = "morrowby";
// Far more than an entry ever holds; anything larger is not Morrowby's.
constexpr std::size_t kMaxEntryBytes = 64 * 1024;

}  // namespace

// data/morrowby-autostart.desktop with its translations (embedded by the build).
extern const char kAutostartEntryTemplate[];

namespace {

FileResult Refused(const std::string& reason, int error) {
  FileResult result;
  result.reason = reason;
  result.error = error;
  return result;
}

bool ValidUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (more < 0 || i + more >= text.size()) return false;
    for (int k = 1; k <= more; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += static_cast<std::size_t>(more) + 1;
  }
  return true;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Whether an Exec value runs a program called morrowby with no arguments.
bool RunsMorrowbyAlone(const std::string& exec) {
  std::string program = exec;
  if (!exec.empty() && exec[0] == '"') {
    if (exec.size() < 2 || exec.back() != '"') return false;
    program = exec.substr(1, exec.size() - 2);
    if (program.find_first_of("\"\\") != std::string::npos) return false;
  } else if (exec.find_first_of(" \t\"'\\") != std::string::npos) {
    return false;
  }
  return NameOf(program) == kProgramName && (program == kProgramName || program[0] == '/');
}

// What the entry's name holds: nothing (ENOENT), something to leave alone (a
// failure), or a regular file, read whole, with its identity in `*st`.
FileResult ReadEntry(const std::string& path, std::string* text, struct stat* st) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    if (err == ELOOP) return Refused(Tr("it is a symbolic link, which Morrowby does not follow"), err);
    return Refused(std::strerror(err), err);
  }
  FileResult result;
  if (fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
    result = Refused(Tr("it is not a regular file"), EINVAL);
  } else {
    text->clear();
    char block[4096];
    ssize_t n;
    while ((n = read(fd, block, sizeof block)) > 0 && text->size() <= kMaxEntryBytes)
      text->append(block, static_cast<std::size_t>(n));
    if (n < 0) result = Refused(std::strerror(errno), errno);
    else result.ok = true;
  }
  close(fd);
  return result;
}

}  // namespace

std::string AutostartEntryPath() {
  const std::string folder = ConfigFolder();
  return folder.empty() ? "" : folder + "/autostart/" + kEntryName;
}

bool ExecValueFor(const std::string& program, bool on_path, std::string* exec) {
  if (on_path) {
    *exec = kProgramName;
    return true;
  }
  if (program.empty() || program[0] != '/' || !ValidUtf8(program)) return false;
  for (const char c : program)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || std::strchr("\"$`\\%", c) != nullptr)
      return false;
  *exec = "\"" + program + "\"";
  return true;
}

bool IsOwnAutostartEntry(const std::string& text) {
  if (text.size() > kMaxEntryBytes) return false;
  bool in_entry = false, named = false, runs = false;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trimmed(text.substr(at, end - at));
    at = end + 1;
    if (!line.empty() && line[0] == '[') {
      in_entry = line == "[Desktop Entry]";
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!in_entry || equals == std::string::npos) continue;
    const std::string key = Trimmed(line.substr(0, equals)), value = Trimmed(line.substr(equals + 1));
    if (key == "Name") named = value == "Morrowby";
    if (key == "Exec") runs = RunsMorrowbyAlone(value);
  }
  return named && runs;
}

FileResult TurnAutostartOn(const std::string& exec, SwitchOutcome* outcome,
                           std::string* existing) {
  const std::string path = AutostartEntryPath();
  struct stat st;
  const FileResult there = ReadEntry(path, existing, &st);
  if (there.ok) {
    if (!IsOwnAutostartEntry(*existing)) return Refused(Tr("it holds an entry Morrowby did not make"), EEXIST);
    *outcome = SwitchOutcome::kAlready;
    return there;
  }
  if (there.error != ENOENT) return there;
  if (!MakeFolders(FolderOf(path)).ok) return Refused(TrFormat("the folder %s cannot be made", FolderOf(path).c_str()), ENOTDIR);
  // The template's own Exec line runs the program by its name.
  std::string text = kAutostartEntryTemplate;
  const std::size_t at = text.find("\nExec=morrowby\n");
  if (at != std::string::npos) text.replace(at + 6, 8, exec);
  FileResult made = CreateNewFile(path, text);
  if (!made.ok && made.error == EEXIST) made.reason = Tr("another program made it meanwhile; it is left as it is");
  *outcome = SwitchOutcome::kDone;
  return made;
}

FileResult TurnAutostartOff(SwitchOutcome* outcome) {
  const std::string path = AutostartEntryPath();
  std::string text;
  struct stat st, named;
  FileResult there = ReadEntry(path, &text, &st);
  if (!there.ok && there.error == ENOENT) {
    *outcome = SwitchOutcome::kAlready;
    there.ok = true;
    there.reason.clear();
    return there;
  }
  if (!there.ok) return there;
  if (!IsOwnAutostartEntry(text)) return Refused(Tr("it holds an entry Morrowby did not make"), EEXIST);
  // The file that was read, not one put in its place since.
  if (lstat(path.c_str(), &named) != 0 || named.st_ino != st.st_ino || named.st_dev != st.st_dev)
    return Refused(Tr("another program changed it meanwhile; it is left as it is"), EBUSY);
  if (unlink(path.c_str()) != 0) return Refused(std::strerror(errno), errno);
  *outcome = SwitchOutcome::kDone;
  return there;
}

}  // namespace morrowby
