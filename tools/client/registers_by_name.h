// Registers by name through the library's commands 66 and 65: the current mode's
// ("r0", "sp", "cpsr", "spsr") and any mode's own ("r8_fiq", "r13_irq", "spsr_svc"), as
// the library names them. Every host of the library reaches banked registers this way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "library.h"

namespace vantrel::client {

// The name as the library takes it (lower case: the library ignores case, and the
// host's own naming of a value should too); none when it cannot fit the request.
std::optional<std::string> LibraryRegisterSpelling(const std::string& name);
// One word for each name, in order; at most VANTREL_MAX_REGISTER_NAMES names.
Answer ReadRegistersByName(const Library& library, const std::vector<std::string>& names);
// Every register of a mode ("cur", "usr", "fiq", "irq", "svc", "abt" or "und"), one word
// each, in the order the library lays that mode out.
Answer ReadRegistersOfMode(const Library& library, const std::string& mode);
// Written on the halted core as that mode sees it; the library keeps the value across
// the next run.
Answer WriteRegisterByName(const Library& library, const std::string& name, uint32_t value);

}  // namespace vantrel::client
