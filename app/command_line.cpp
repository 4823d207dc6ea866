// Option parsing on getopt_long, which needs no toolkit: --say-time must work where
// there is no display at all.
#include "app/command_line.h"

#include <getopt.h>

#include <vector>

#include "store/translation.h"

namespace morrowby {
namespace {

enum LongOnly { kOptSetup = 256, kOptSayTime, kOptChime, kOptAutostart, kOptHelp, kOptVersion };

const option kOptions[] = {
    {"setup", no_argument, nullptr, kOptSetup},
    {"say-time", no_argument, nullptr, kOptSayTime},
    {"chime", no_argument, nullptr, kOptChime},
    {"output", required_argument, nullptr, 'o'},
    {"autostart", required_argument, nullptr, kOptAutostart},
    {"help", no_argument, nullptr, kOptHelp},
    {"version", no_argument, nullptr, kOptVersion},
    {nullptr, 0, nullptr, 0},
};

// How the user wrote the option getopt_long stopped at: a short option by its letter
// (it may sit inside a cluster), anything else as the word itself.
std::string Spelled(char* const argv[], int at, int short_option) {
  if (short_option > 0 && short_option < 128 && short_option != 'o')
    return std::string("-") + static_cast<char>(short_option);
  return argv[at];
}

}  // namespace

CommandLine ParseCommandLine(int argc, char* const argv[]) {
  // getopt_long reorders what it is given; the caller's argv stays as it was.
  std::vector<char*> args(argv, argv + argc);
  args.push_back(nullptr);
  bool setup = false, say_time = false, autostart = false, help = false, version = false;
  CommandLine result;
  if (argc > 0) result.program = argv[0];

  optopt = 0;
  optind = 0;  // 0, not 1: glibc then starts afresh, forgetting any earlier parse
  opterr = 0;  // the complaint below is the only line printed
  int c;
  while ((c = getopt_long(argc, args.data(), ":o:", kOptions, nullptr)) != -1) {
    switch (c) {
      case kOptSetup: setup = true; break;
      case kOptSayTime: say_time = true; break;
      case kOptChime: say_time = result.chime = true; break;
      case kOptHelp: help = true; break;
      case kOptVersion: version = true; break;
      case kOptAutostart:
        autostart = true;
        result.autostart_on = std::string(optarg) == "on";
        if (!result.autostart_on && std::string(optarg) != "off" && result.complaint.empty())
          result.complaint = TrFormat("option '--autostart' takes on or off, not '%s'", optarg);
        break;
      case 'o':
        say_time = true;
        result.output = optarg;
        if (result.output.empty() && result.complaint.empty())  // --output= or -o ''
          result.complaint = TrFormat("option '%s' needs a file name", "--output");
        break;
      case ':':
        if (result.complaint.empty())
          result.complaint =
              optopt == kOptAutostart
                  ? TrFormat("option '%s' needs on or off", "--autostart")
                  : TrFormat("option '%s' needs a file name",
                             Spelled(args.data(), optind - 1, optopt).c_str());
        break;
      default:
        if (result.complaint.empty())
          result.complaint = TrFormat("option '%s' is not understood",
                                      Spelled(args.data(), optind - 1, optopt).c_str());
    }
  }
  if (optind < argc && result.complaint.empty())
    result.complaint = TrFormat("unexpected argument '%s'", args[optind]);
  if (setup + say_time + autostart > 1 && result.complaint.empty())
    result.complaint = TrFormat("%s and %s cannot be used together", setup ? "--setup" : "--say-time",
                                autostart ? "--autostart" : "--say-time");

  // The complaint says what happens instead.
  if (!result.complaint.empty())
    result.complaint =
        help || version
            ? TrFormat("morrowby: %s (ignored)", result.complaint.c_str())
            : TrFormat("morrowby: %s; running as with no options (see morrowby --help)",
                       result.complaint.c_str());
  if (help) {
    result.kind = RunKind::kHelp;
  } else if (version) {
    result.kind = RunKind::kVersion;
  } else if (!result.complaint.empty()) {
    result.output.clear();
    result.autostart_on = false;
    result.chime = false;
  } else if (autostart) {
    result.kind = RunKind::kAutostart;
  } else if (setup) {
    result.kind = RunKind::kSetup;
  } else if (say_time) {
    result.kind = RunKind::kSayTime;
  }
  return result;
}

std::string UsageText() {
  // In three parts, so that a change to one leaves the others' translations standing.
  return std::string(Tr("Usage: morrowby [OPTION]...\n"
                        "Greets you with a song or the spoken date and time, as at log-in.\n")) +
         "\n" +
         Tr("      --setup          open the Setup window at once: no greeting, no button\n"
            "      --say-time       speak the date and time now, with your date words,\n"
            "                         whatever the play mode\n"
            "  -o, --output=FILE    with --say-time: write the announcement to FILE as a\n"
            "                         WAV file instead of playing it (no sound device or\n"
            "                         display needed)\n"
            "      --help           show this help and end\n"
            "      --version        show the version and end\n") +
         Tr("      --chime          as --say-time, for the hourly chime: says nothing while\n"
            "                         the desktop's Do Not Disturb is on\n") +
         Tr("      --autostart=on   greet you at every log-in from now on: writes the\n"
            "                         entry $XDG_CONFIG_HOME/autostart/morrowby.desktop\n"
            "                         (~/.config/autostart/morrowby.desktop)\n"
            "      --autostart=off  no longer greet you at log-in: removes that entry\n") +
         "\n" +
         Tr("With no option Morrowby runs as at log-in: the greeting, then the Setup\n"
            "button for two seconds. An option it does not understand is reported in\n"
            "one line, and the run goes on as with no options.\n"
            "Exit status: 0, or 1 when the --output file cannot be written or\n"
            "--autostart cannot do what it is asked.\n"
            "Settings: $XDG_CONFIG_HOME/TOLVERA.INI (~/.config/TOLVERA.INI); man morrowby.\n") +
         Tr("Speaking the time on the hour: systemctl --user enable --now morrowby-chime.timer\n"
            "(and disable --now to stop it).\n");
}

}  // namespace morrowby
