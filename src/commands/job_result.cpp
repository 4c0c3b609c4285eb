#include "commands/job_result.h"

#include <atomic>

namespace vantrel::shell {
namespace {
std::atomic<JobResult> g_last_job_result{JobResult::kNone};
}

JobResult LastJobResult() { return g_last_job_result.load(); }
void StoreLastJobResult(JobResult result) { g_last_job_result.store(result); }

}  // namespace vantrel::shell
