#include "commands/job_gate.h"

namespace vantrel::shell {
namespace {
platform::JobGate g_job_gate;
}

platform::JobGate& JobGate() { return g_job_gate; }

}  // namespace vantrel::shell
