// Progress of a long memory transfer through the core, and the host's request to stop
// it. The core's memory operations report as they advance; the host polls and stops
// from any thread.
#pragma once

#include <cstdint>

namespace vantrel::core {

class TransferProgress {
 public:
  TransferProgress() = default;
  virtual ~TransferProgress() = default;
  TransferProgress(const TransferProgress&) = delete;
  TransferProgress& operator=(const TransferProgress&) = delete;

  // 0 to 100; keeps its last value after the transfer.
  [[nodiscard]] virtual int32_t Percent() = 0;
  virtual void SetPercent(int32_t percent) = 0;
  virtual void RequestBreak() = 0;
  // Sets the percentage from done of total; true when the transfer must stop (the host
  // asked, or the power reading went bad).
  [[nodiscard]] virtual bool Report(int32_t done, int32_t total) = 0;
  // Sets the percentage from done of total, where no stop can matter any more.
  virtual void Show(int32_t done, int32_t total) = 0;
  // A bad power reading: the other reason to stop, which is no stop the host asked for.
  [[nodiscard]] virtual bool PowerReadingBad() = 0;
  // Percentage and stop request back to 0: a transfer starts, or the host clears an error.
  virtual void Reset() = 0;
};

}  // namespace vantrel::core
