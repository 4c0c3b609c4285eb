#include "arm7/progress.h"

#include <algorithm>
#include <atomic>

#include "arm7/arm7_state.h"

namespace vantrel::arm7 {
namespace {

constexpr int32_t kComplete = 100;

// The final reports pass a count past the total (whole blocks), so the figure is kept
// within 0 to 100; 64 bits keep done x 100 from overflowing.
int32_t Percent(int32_t done, int32_t total) {
  if (total <= 0) return kComplete;
  const int64_t percent = static_cast<int64_t>(done) * kComplete / total;
  return static_cast<int32_t>(std::clamp<int64_t>(percent, 0, kComplete));
}

}  // namespace

int32_t ProgressPercent(const Arm7State& core) { return core.progress.percent.load(std::memory_order_relaxed); }
void SetProgressPercent(Arm7State& core, int32_t percent) {
  core.progress.percent.store(percent, std::memory_order_relaxed);
}

bool BreakRequest(const Arm7State& core) { return core.progress.breakRequest.load(std::memory_order_relaxed); }
void SetBreakRequest(Arm7State& core, bool request) {
  core.progress.breakRequest.store(request, std::memory_order_relaxed);
}

// A reading that was never taken does not stop a transfer; any other than "both good" does.
bool PowerReadingBad(Arm7State& core) { return cable::PowerReadBad(core.cables.Active()); }

void ShowProgress(Arm7State& core, int32_t done, int32_t total) { SetProgressPercent(core, Percent(done, total)); }

bool ReportProgress(Arm7State& core, int32_t done, int32_t total) {
  ShowProgress(core, done, total);
  return BreakRequest(core) || PowerReadingBad(core);
}

void ResetProgress(Arm7State& core) {
  SetProgressPercent(core, 0);
  SetBreakRequest(core, false);
}

}  // namespace vantrel::arm7
