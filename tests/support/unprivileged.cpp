#include "tests/support/unprivileged.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace morrowby {
namespace testing {
namespace {

uid_t NobodyUid() {
  const passwd* pw = getpwnam("nobody");
  return pw != nullptr ? pw->pw_uid : 65534;
}

gid_t NogroupGid() {
  const group* gr = getgrnam("nogroup");
  return gr != nullptr ? gr->gr_gid : 65534;
}

}  // namespace

AsUnprivilegedUser::AsUnprivilegedUser(uid_t uid) {
  if (geteuid() != 0) {
    ok_ = true;
    return;
  }
  gid_ = getegid();
  const int count = getgroups(0, nullptr);
  if (count > 0) {
    groups_.resize(static_cast<std::size_t>(count));
    groups_.resize(static_cast<std::size_t>(getgroups(count, groups_.data())));
  }
  // The saved ids stay 0, so that the destructor may take root back.
  if (setgroups(0, nullptr) != 0 || setresgid(NogroupGid(), NogroupGid(), 0) != 0) {
    why_ = std::string("cannot become group nogroup: ") + std::strerror(errno);
    return;
  }
  switched_ = true;
  if (uid == static_cast<uid_t>(-1)) uid = NobodyUid();
  if (setresuid(uid, uid, 0) != 0) {
    why_ = std::string("cannot become user nobody: ") + std::strerror(errno);
    return;
  }
  ok_ = true;
}

AsUnprivilegedUser::~AsUnprivilegedUser() {
  if (!switched_) return;
  // Without root back, every later test would run on wrong premises: stop here.
  if (setresuid(0, 0, 0) != 0 || setresgid(gid_, gid_, gid_) != 0 ||
      setgroups(groups_.size(), groups_.data()) != 0) {
    std::fprintf(stderr, "cannot take back the root user: %s\n", std::strerror(errno));
    std::abort();
  }
}

}  // namespace testing
}  // namespace morrowby
