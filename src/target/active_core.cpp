// The one place that knows which cores exist. A further core is its own folder
// implementing core::DebugCore, and one line in the table below.
#include "target/active_core.h"

#include "arm7/arm7tdmi_core.h"

namespace vantrel::target {
namespace {

struct CoreKind {
  const char* name;
  core::DebugCore& (*instance)();
};

// The first line is the core driven; the host has no way yet to name another.
constexpr CoreKind kCoreKinds[] = {
    {"arm7tdmi", &arm7::Arm7tdmiCore::Instance},
};

}  // namespace

core::DebugCore& ActiveCore() { return kCoreKinds[0].instance(); }

}  // namespace vantrel::target
