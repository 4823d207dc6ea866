// The command line, in the GNU style. A greeter must never fail at log-in: anything
// it does not understand is reported in one line and the run goes on as if it had
// been given no arguments. Pure logic: no toolkit, no sound, nothing printed here.
#pragma once

#include <string>

namespace morrowby {

enum class RunKind {
  kGreet,    // no arguments: the greeting, then the launch button
  kSetup,    // --setup: the Setup window at once
  kSayTime,  // --say-time (or --chime): the date and time now, played or written to `output`
  kAutostart,  // --autostart on|off: the greeting at every log-in, switched
  kHelp,     // --help
  kVersion,  // --version
};

struct CommandLine {
  RunKind kind = RunKind::kGreet;
  std::string output;     // --output FILE (implies --say-time); empty: play it
  bool autostart_on = false;  // kAutostart: on, else off
  bool chime = false;         // kSayTime from --chime: the hourly chime, quiet when asked
  std::string program;        // argv[0]: how the program was started
  std::string complaint;  // when not empty: the one line to print, and kind is kGreet
};

// Reads argv[1..argc-1]. --help and --version win over everything else. An unknown
// option, a missing FILE, an operand, --autostart with neither on nor off, or two of
// --setup, --say-time and --autostart together give kGreet with a complaint. Long options may be abbreviated where that is unambiguous.
CommandLine ParseCommandLine(int argc, char* const argv[]);

// What --help prints, ending in a newline.
std::string UsageText();

}  // namespace morrowby
