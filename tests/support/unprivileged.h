// Runs part of a test as an ordinary user. CI runs as root, and root is let through
// every file permission, so a test of what a user may not do needs a user who may not.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace morrowby {
namespace testing {

// For its lifetime the whole process (every thread) is user nobody (or `uid`, such
// as one the password database does not know), group nogroup, with no
// supplementary groups; the ids are taken back when it ends. A process that is not
// root is an ordinary user already and is left as it is. Tests check ok() and fail,
// never skip, when the change was impossible.
class AsUnprivilegedUser {
 public:
  explicit AsUnprivilegedUser(uid_t uid = static_cast<uid_t>(-1));
  ~AsUnprivilegedUser();
  AsUnprivilegedUser(const AsUnprivilegedUser&) = delete;
  AsUnprivilegedUser& operator=(const AsUnprivilegedUser&) = delete;

  // True when file permissions now hold for this process; else why() says why not.
  bool ok() const { return ok_; }
  const std::string& why() const { return why_; }

 private:
  bool ok_ = false;
  bool switched_ = false;
  std::string why_;
  gid_t gid_ = 0;
  std::vector<gid_t> groups_;
};

}  // namespace testing
}  // namespace morrowby
