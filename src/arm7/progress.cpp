#include "arm7/progress.h"

#include <algorithm>
#include <atomic>

#include "arm7/arm7_state.h"
#include "cable/cable_registry.h"

namespace vantrel::arm7 {
namespace {

constexpr int32_t kComplete = 100;

ProgressState& Progress() { return CoreState().progress; }

// The final reports pass a count past the total (whole blocks), so the figure is kept
// within 0 to 100; 64 bits keep done x 100 from overflowing.
int32_t Percent(int32_t done, int32_t total) {
  if (total <= 0) return kComplete;
  const int64_t percent = static_cast<int64_t>(done) * kComplete / total;
  return static_cast<int32_t>(std::clamp<int64_t>(percent, 0, kComplete));
}

}  // namespace

int32_t ProgressPercent() { return Progress().percent.load(std::memory_order_relaxed); }
void SetProgressPercent(int32_t percent) { Progress().percent.store(percent, std::memory_order_relaxed); }

bool BreakRequest() { return Progress().breakRequest.load(std::memory_order_relaxed); }
void SetBreakRequest(bool request) { Progress().breakRequest.store(request, std::memory_order_relaxed); }

// A reading that was never taken does not stop a transfer; any other than "both good" does.
bool PowerReadingBad() { return cable::PowerReadBad(cable::ActiveCable()); }

void ShowProgress(int32_t done, int32_t total) { SetProgressPercent(Percent(done, total)); }

bool ReportProgress(int32_t done, int32_t total) {
  ShowProgress(done, total);
  return BreakRequest() || PowerReadingBad();
}

void ResetProgress() {
  SetProgressPercent(0);
  SetBreakRequest(false);
}

}  // namespace vantrel::arm7
