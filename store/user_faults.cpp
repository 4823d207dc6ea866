// The run's list of faults for the user.
#include "store/user_faults.h"

#include <algorithm>

namespace morrowby {
namespace {

std::vector<UserFault> noted;  // main thread only

}  // namespace

void NoteUserFault(const UserFault& fault) {
  if (std::find(noted.begin(), noted.end(), fault) == noted.end()) noted.push_back(fault);
}

std::vector<UserFault> TakeUserFaults() {
  std::vector<UserFault> taken;
  taken.swap(noted);
  return taken;
}

}  // namespace morrowby
