// Progress of a long transfer and the host's request to stop it. Both values are read
// and written from any host thread while a transfer runs on the worker, hence atomics.
#pragma once

#include <cstdint>

#include "core/transfer_progress.h"

namespace vantrel::arm7 {

struct Arm7State;

// Percentage of the running transfer, 0 to 100; keeps its last value afterwards.
int32_t ProgressPercent(const Arm7State& core);
void SetProgressPercent(Arm7State& core, int32_t percent);

// True once the host asked to stop the running transfer.
bool BreakRequest(const Arm7State& core);
void SetBreakRequest(Arm7State& core, bool request);

// Called by the memory transfers as they advance (done and total in the same unit).
// Sets ProgressPercent to done x 100 / total, kept within 0 to 100 (100 when total is 0
// or less). Returns true when the transfer must stop (BreakRequest set, or the last power
// reading neither good nor never taken).
[[nodiscard]] bool ReportProgress(Arm7State& core, int32_t done, int32_t total);
// Sets ProgressPercent as ReportProgress does, where no stop can matter any more (the
// end of a transfer).
void ShowProgress(Arm7State& core, int32_t done, int32_t total);

// The last power reading is neither good nor never taken: ReportProgress's other reason
// to stop, which is no stop the host asked for.
[[nodiscard]] bool PowerReadingBad(Arm7State& core);

// ProgressPercent and BreakRequest back to 0: the start of a transfer, or the host
// clearing the last error.
void ResetProgress(Arm7State& core);

// The functions above as the target-control layer sees them, on the state given.
class CoreProgress final : public core::TransferProgress {
 public:
  explicit CoreProgress(Arm7State& core) : core_(core) {}

  int32_t Percent() override { return ProgressPercent(core_); }
  void SetPercent(int32_t percent) override { SetProgressPercent(core_, percent); }
  void RequestBreak() override { SetBreakRequest(core_, true); }
  bool Report(int32_t done, int32_t total) override { return ReportProgress(core_, done, total); }
  void Show(int32_t done, int32_t total) override { ShowProgress(core_, done, total); }
  bool PowerReadingBad() override { return arm7::PowerReadingBad(core_); }
  void Reset() override { ResetProgress(core_); }

 private:
  Arm7State& core_;
};

}  // namespace vantrel::arm7
