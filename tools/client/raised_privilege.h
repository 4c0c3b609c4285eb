// The host under raised privilege (set-user-ID, set-group-ID, file capabilities): it
// loads only a library that the user who started it cannot change, or the privilege
// would go to whatever code the user puts there.
#pragma once

#include <string>

namespace vantrel::client {

bool RunningWithRaisedPrivilege();

// Empty when the library at path may be loaded; otherwise why not. Without raised
// privilege any may.
std::string LibraryRefusal(const std::string& path);

}  // namespace vantrel::client
