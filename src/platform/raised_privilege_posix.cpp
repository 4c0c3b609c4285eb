#include "platform/raised_privilege_posix.h"

#include <limits.h>
#ifdef __linux__
#include <sys/auxv.h>
#endif
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vantrel::platform {

namespace {

// Root, or the account a set-user-ID program runs as: the owners whose files the user
// who started the process cannot change.
bool TrustedOwner(uid_t owner) { return owner == 0 || (owner == geteuid() && geteuid() != getuid()); }

// A folder with the sticky bit (like /tmp) lets others add files, not replace ours.
std::string Untrusted(const std::string& path, const struct stat& info) {
  if (!TrustedOwner(info.st_uid)) return path + " belongs to uid " + std::to_string(info.st_uid) + ", not root";
  const bool othersMayWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  const bool stickyFolder = S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX) != 0;
  if (othersMayWrite && !stickyFolder) return path + " may be written by its group or by others";
  return "";
}

std::string Parent(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// The first folder on the way to the root that the user could change; empty when none.
std::string UntrustedFolder(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return path + ": " + std::strerror(errno);
  std::string folder = resolved;
  do {
    folder = Parent(folder);
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) return folder + ": " + std::strerror(errno);
    if (std::string why = Untrusted(folder, info); !why.empty()) return why;
  } while (folder != "/");
  return "";
}

}  // namespace

bool RunningWithRaisedPrivilege() {
#ifdef __linux__
  // Also set for file capabilities, which leave the user and group IDs alone.
  return getauxval(AT_SECURE) != 0;
#else
  return geteuid() != getuid() || getegid() != getgid();
#endif
}

std::string RefusedUnderRaisedPrivilege(const std::string& path, const struct stat& info) {
  if (!RunningWithRaisedPrivilege()) return "";
  std::string why = Untrusted(path, info);
  if (why.empty()) why = UntrustedFolder(path);
  if (why.empty()) return "";
  return path + ": refused, since the process runs with raised privilege (setuid, setgid or file capabilities) and " +
         why;
}

}  // namespace vantrel::platform
