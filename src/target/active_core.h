// The debug core behind the cable, as target control reaches it: only through the core
// interface, never through a core's own headers.
#pragma once

#include "core/debug_core.h"

namespace vantrel::target {

core::DebugCore& ActiveCore();

}  // namespace vantrel::target
