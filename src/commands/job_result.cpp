#include "commands/job_result.h"

#include <atomic>

namespace vantrel::shell {
namespace {
std::atomic<int32_t> g_last_job_result{kNoJobResult};
}

int32_t LastJobResult() { return g_last_job_result.load(); }
void StoreLastJobResult(int32_t result) { g_last_job_result.store(result); }

}  // namespace vantrel::shell
