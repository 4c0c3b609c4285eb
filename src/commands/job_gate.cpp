#include "commands/job_gate.h"

namespace vantrel::commands {
namespace {
// The instance's, not a session's: the named gate is made with the machine-wide marker
// when the library loads and closed when it unloads, whatever session the calls use.
platform::JobGate g_job_gate;
}

platform::JobGate& JobGate() { return g_job_gate; }

}  // namespace vantrel::commands
