// The gate a background transfer shuts while it drives the cable: the job runner shuts
// and opens it, the C API's entry path waits on it and creates it once per active
// instance. It lives with the jobs so that the C API is the only layer reaching down.
#pragma once

#include "platform/platform.h"

namespace vantrel::commands {

platform::JobGate& JobGate();

}  // namespace vantrel::commands
