// A halt on the SWI vector while semihosting is on: the call served, or why not.
#pragma once

#include <string_view>

#include "gdb_target.h"
#include "semihosting.h"

namespace vantrel::gdb {

struct SwiStop {
  enum class Kind {
    kOther,           // not a halt on the SWI vector after a SWI (or semihosting is off)
    kProgramsOwnSwi,  // another SWI: the program's handler serves it
    kServed,          // the caller's registers hold the result; the core is still halted
    kExited,          // the program ended: the core stays halted on the vector
    kFailed,          // the caller's registers could not be written back
  };
  Kind kind;
  int exitCode = 0;
};

// Looks at the halted core; serves a semihosting call and sets the caller up to resume
// after its SWI (not resumed yet).
SwiStop ServeSwiStop(GdbTarget& target, Semihosting& semihosting, const SemihostingConsole& console);
// The server's own breakpoint on the SWI vector; both true when there is nothing to do.
bool PlantSwiCatch(GdbTarget& target);
bool RemoveSwiCatch(GdbTarget& target);

// With no GDB attached after a detach: the program's calls served on the server's
// terminal while the server waits for the next client.
void ServeDetachedCalls(GdbTarget& target, Semihosting& semihosting);
// Before the next client: the core halted and the catch out, as a client expects.
void EndDetachedServing(GdbTarget& target, Semihosting& semihosting);
void WriteToTerminal(std::string_view text);

}  // namespace vantrel::gdb
