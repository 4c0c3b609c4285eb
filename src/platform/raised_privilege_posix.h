// Files that a process with raised privilege (set-user-ID, set-group-ID, file
// capabilities) may take its settings from: only those the user who started it cannot
// change, so that the privilege does not go wherever the user points it.
#pragma once

#include <sys/stat.h>

#include <string>

namespace vantrel::platform {

// The kernel's secure-execution flag: the process has privilege its user lacks.
bool RunningWithRaisedPrivilege();

// Empty when the opened file (info: its fstat) may be used; otherwise why not. Without
// raised privilege every file may.
std::string RefusedUnderRaisedPrivilege(const std::string& path, const struct stat& info);

}  // namespace vantrel::platform
