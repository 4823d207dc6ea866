// --help, --version, --autostart and --say-time: answered before the toolkit starts,
// so that they work with no display, and --say-time --output with no sound device
// either.
#include "app/on_demand.h"

#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>

#include "sound/announcement.h"
#include "sound/clip_catalogue.h"
#include "sound/device_sound_service.h"
#include "sound/wave_file_writer.h"
#include "app/desktop_notice.h"
#include "app/do_not_disturb.h"
#include "store/autostart_entry.h"
#include "store/date_line.h"
#include "store/settings.h"
#include "store/translation.h"

namespace morrowby {
namespace {

// How long the hourly chime waits at most for the desktops to say whether they want
// quiet; they answer within milliseconds, and one that does not is taken as a no.
constexpr auto kQuietAnswerWait = std::chrono::milliseconds(250);

// The date and time now, whatever the play mode, through the sound device. The hourly
// chime keeps quiet while the desktop's Do Not Disturb is on; asked for by hand, the
// time is always spoken, and a request with no word to speak says why.
int SayTimeAloud(bool chime) {
  const StartUpTime now = TakeLocalTime();
  if (chime) {
    DoNotDisturbQuestion question;
    if (question.On(std::chrono::steady_clock::now() + kQuietAnswerWait)) {
      std::fprintf(stderr, "%s", Tr("morrowby: the desktop's Do Not Disturb is on; the chime keeps quiet\n"));
      return 0;
    }
  }
  const bool nothing_to_say =
      BuildAnnouncement(now, ReadSetting("DateLine", kDateLineRoom), 0).empty();
  const auto sound = MakeDeviceSoundService();
  AnnounceDateTime(*sound, now);
  sound->Drain();
  if (chime) return 0;
  std::vector<UserFault> faults = TakeUserFaults();
  if (nothing_to_say) {
    std::fprintf(stderr, "%s", Tr("morrowby: no word of the date and time is switched on; "
                                  "choose them under Modify Date Words in Morrowby Setup\n"));
    faults.push_back({Tr("Morrowby has nothing to say"),
                      Tr("Every word of the date and time is switched off. Choose the words "
                         "to speak under Modify Date Words in Morrowby Setup.")});
  }
  for (const UserFault& fault : faults) ShowDesktopNotice(fault);
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
      *status = command.output.empty() ? SayTimeAloud(command.chime) : SayTimeToFile(command.output);
      return true;
    case RunKind::kGreet:
    case RunKind::kSetup:
      break;
  }
  return false;
}

}  // namespace morrowby
