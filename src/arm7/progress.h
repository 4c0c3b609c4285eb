// Progress of a long transfer and the host's request to stop it. Both values are read
// and written from any host thread while a transfer runs on the worker, hence atomics.
#pragma once

#include <cstdint>

namespace vantrel::arm7 {

// Percentage of the running transfer, 0 to 100; keeps its last value afterwards.
int32_t ProgressPercent();
void SetProgressPercent(int32_t percent);

// True once the host asked to stop the running transfer.
bool BreakRequest();
void SetBreakRequest(bool request);

// Called by the memory transfers as they advance (done and total in the same unit).
// Sets ProgressPercent to done x 100 / total, kept within 0 to 100 (100 when total is 0
// or less). Returns true when the transfer must stop (BreakRequest set, or the last power
// reading neither good nor never taken).
[[nodiscard]] bool ReportProgress(int32_t done, int32_t total);
// Sets ProgressPercent as ReportProgress does, where no stop can matter any more (the
// end of a transfer).
void ShowProgress(int32_t done, int32_t total);

// The last power reading is neither good nor never taken: ReportProgress's other reason
// to stop, which is no stop the host asked for.
[[nodiscard]] bool PowerReadingBad();

// ProgressPercent and BreakRequest back to 0: the start of a transfer, or the host
// clearing the last error.
void ResetProgress();

}  // namespace vantrel::arm7
