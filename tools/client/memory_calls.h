// Memory transfers through the library as every host here makes them: one command of
// exactly the bytes asked for; from VANTREL_BACKGROUND_TRANSFER_BYTES on (and for every
// download) the library answers at once and the transfer runs as a background job,
// followed here until it stores its result.
#pragma once

#include <cstddef>
#include <cstdint>

#include "background_job.h"
#include "library.h"

namespace vantrel::client {

enum class TransferEnd {
  kDone,       // every byte moved (and verified when asked)
  kRefused,    // the command itself failed: answer says why
  kJobFailed,  // the background job stored a failure: jobResult says which
  kStopped,    // the watcher asked the job to stop
};

struct TransferResult {
  TransferEnd end = TransferEnd::kRefused;
  Answer answer;                          // the command's own answer
  int jobResult = VANTREL_JOB_SUCCEEDED;  // VANTREL_JOB_*, for a background transfer
  int percent = 0;                        // the job's progress when it ended

  bool Done() const { return end == TransferEnd::kDone; }
};

// Reads length bytes at address into buffer.
TransferResult ReadMemory(const Library& library, uint32_t address, unsigned char* buffer, size_t length,
                          const JobWatcher& watcher = {});

// Writes length bytes at address in word accesses, read back and compared when verify.
TransferResult WriteMemory(const Library& library, uint32_t address, const unsigned char* data, size_t length,
                           bool verify, const JobWatcher& watcher = {});

// Loads an image at address and sets the saved PC to entry.
TransferResult Download(const Library& library, uint32_t address, const unsigned char* image, size_t length,
                        uint32_t entry, bool verify, const JobWatcher& watcher = {});

}  // namespace vantrel::client
