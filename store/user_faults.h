// What went wrong in this run that the user can act on (a song that cannot be played,
// a list file that cannot be read, no sound server), noted where it is found, beside
// its line on stderr, and taken at the edge of the run, which shows it to the user
// (app/desktop_notice.h). Program-wide state of the main thread only.
#pragma once

#include <string>
#include <vector>

namespace morrowby {

struct UserFault {
  std::string summary;  // one line, in the user's language: what went wrong
  std::string body;     // the file and the reason, and what to do
  bool operator==(const UserFault& o) const { return summary == o.summary && body == o.body; }
};

// Notes a fault; the same one noted again is kept once.
void NoteUserFault(const UserFault& fault);

// The faults noted so far, in order, and none from then on.
std::vector<UserFault> TakeUserFaults();

}  // namespace morrowby
