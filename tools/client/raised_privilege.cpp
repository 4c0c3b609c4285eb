#include "raised_privilege.h"

#include <limits.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vantrel::client {

namespace {

// Only root's files, or those of the account a set-user-ID program runs as, are out of
// the starting user's reach; a sticky folder (like /tmp) keeps others from replacing them.
std::string Changeable(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return path + ": " + std::strerror(errno);
  const uid_t owner = info.st_uid;
  if (owner != 0 && !(owner == geteuid() && geteuid() != getuid())) {
    return path + " belongs to uid " + std::to_string(owner) + ", not root";
  }
  const bool sticky = S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX) != 0;
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && !sticky) return path + " may be written by its group or by others";
  return "";
}

}  // namespace

// The kernel's secure-execution flag, set for file capabilities too (the host is a
// Linux program: it finds itself through /proc as well).
bool RunningWithRaisedPrivilege() { return getauxval(AT_SECURE) != 0; }

std::string LibraryRefusal(const std::string& path) {
  if (!RunningWithRaisedPrivilege()) return "";
  char resolved[PATH_MAX];
  std::string why;
  if (realpath(path.c_str(), resolved) == nullptr) why = path + ": " + std::strerror(errno);
  // The file, then each folder up to the root.
  for (std::string step = resolved; why.empty() && !step.empty(); step = step.substr(0, step.rfind('/'))) {
    why = Changeable(step);
  }
  if (why.empty()) why = Changeable("/");
  if (why.empty()) return "";
  return "the library " + path +
         " is refused, since vantrel runs with raised privilege (setuid, setgid or file capabilities) and " + why;
}

}  // namespace vantrel::client
