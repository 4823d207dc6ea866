// --help, --version, --autostart and --say-time: answered before the toolkit starts,
// so that they work with no display, and --say-time --output with no sound device
// either.
#include "app/on_demand.h"

#include <unistd.h>

#include <climits>
#include <cstdio>

#include "sound/announcement.h"
#include "sound/clip_catalogue.h"
#include "sound/device_sound_service.h"
#include "sound/wave_file_writer.h"
#include "store/autostart_entry.h"
#include "store/translation.h"

namespace morrowby {
namespace {

// The date and time now, whatever the play mode, through the sound device.
int SayTimeAloud() {
  const StartUpTime now = TakeLocalTime();
  const auto sound = MakeDeviceSoundService();
  AnnounceDateTime(*sound, now);
  sound->Drain();
  return 0;
}

// The same announcement as one WAV file in the clips' own format, the pause as
// silence in it.
int SayTimeToFile(const std::string& path) {
  const ClipImage gap = FindClip(ProgramModule(), PhraseClips.gap);
  WaveView format;
  if (!ParseWaveImage(gap.data, gap.size, &format)) {
    // A program built with a broken clip must not pass off an empty file as the time.
    std::fprintf(stderr, Tr("morrowby: cannot write %s: the built-in clip %u cannot be read\n"),
                 path.c_str(), static_cast<unsigned>(PhraseClips.gap));
    return 1;
  }
  WaveFileWriter writer(format);
  AnnounceDateTime(writer, TakeLocalTime());
  if (writer.ImagesSkipped() > 0) {
    std::fprintf(stderr, Tr("morrowby: cannot write %s: %d of the built-in clips cannot be read\n"),
                 path.c_str(), writer.ImagesSkipped());
    return 1;
  }
  const FileResult written = writer.WriteTo(path);
  if (written.ok) return 0;
  std::fprintf(stderr, Tr("morrowby: cannot write %s: %s\n"), path.c_str(), written.reason.c_str());
  return 1;
}

// The log-in entry switched on or off. It runs this program: by its bare name when it
// was found on PATH (as a package installs it), else by its full path.
int SwitchAutostart(bool on, const std::string& started_as) {
  const std::string entry = AutostartEntryPath();
  SwitchOutcome outcome = SwitchOutcome::kDone;
  FileResult result;
  if (on) {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string program = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : started_as;
    std::string exec, existing;
    if (!ExecValueFor(program, started_as.find('/') == std::string::npos, &exec)) {
      std::fprintf(stderr, Tr("morrowby: cannot turn the greeting at log-in on: the path %s "
                              "holds characters a desktop entry cannot carry\n"),
                   program.c_str());
      return 1;
    }
    result = TurnAutostartOn(exec, &outcome, &existing);
    if (result.ok && outcome == SwitchOutcome::kDone)
      std::printf(Tr("Morrowby will greet you at every log-in: %s runs %s.\n"), entry.c_str(),
                  exec.c_str());
    else if (result.ok)
      std::printf(Tr("Morrowby greets you at every log-in already: %s is there.\n"), entry.c_str());
  } else {
    result = TurnAutostartOff(&outcome);
    if (result.ok && outcome == SwitchOutcome::kDone)
      std::printf(Tr("Morrowby no longer greets you at log-in: %s is removed.\n"), entry.c_str());
    else if (result.ok)
      std::printf(Tr("Morrowby does not greet you at log-in: there is no %s.\n"), entry.c_str());
  }
  if (result.ok) return 0;
  std::fprintf(stderr, on ? Tr("morrowby: cannot turn the greeting at log-in on: %s: %s\n")
                          : Tr("morrowby: cannot turn the greeting at log-in off: %s: %s\n"),
               entry.c_str(), result.reason.c_str());
  return 1;
}

}  // namespace

bool RunOnDemand(const CommandLine& command, int* status) {
  if (!command.complaint.empty()) std::fprintf(stderr, "%s\n", command.complaint.c_str());
  *status = 0;
  switch (command.kind) {
    case RunKind::kHelp:
      std::fputs(UsageText().c_str(), stdout);
      return true;
    case RunKind::kVersion:
      std::printf("morrowby %s\n", MORROWBY_VERSION);
      return true;
    case RunKind::kAutostart:
      *status = SwitchAutostart(command.autostart_on, command.program);
      return true;
    case RunKind::kSayTime:
      *status = command.output.empty() ? SayTimeAloud() : SayTimeToFile(command.output);
      return true;
    case RunKind::kGreet:
    case RunKind::kSetup:
      break;
  }
  return false;
}

}  // namespace morrowby
