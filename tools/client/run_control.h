// Starting and stopping the core through the library, as every host here does it.
#pragma once

#include "library.h"

namespace vantrel::client {

// Resumes the halted core.
Answer Run(const Library& library);
// Halts the running core and brings it into debug state.
Answer Stop(const Library& library);

}  // namespace vantrel::client
