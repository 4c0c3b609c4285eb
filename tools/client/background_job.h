// Following a background transfer of the library to its end. The library answers a
// long transfer at once and stores the job's result later; the host polls
// jtagGetLastError often enough to notice the end within about a millisecond.
#pragma once

#include <functional>

#include "library.h"

namespace vantrel::client {

// jtagGetLastError while the job has not stored its result.
inline constexpr int kJobRunning = VANTREL_JOB_NONE;
// The transfer size from which the library works in the background.
inline constexpr size_t kBackgroundTransferBytes = VANTREL_BACKGROUND_TRANSFER_BYTES;

// Called between polls with the job's progress; false asks the job to stop (the wait
// still lasts until the job has stored its result).
using JobWatcher = std::function<bool(int percent)>;

// Waits for the job the last command started; returns its result (0 success).
int WaitForJob(const Library& library, const JobWatcher& watcher = {});

}  // namespace vantrel::client
