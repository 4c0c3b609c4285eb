// A time limit for polling the target that a busy host cannot use up early. It is reached
// once its time has passed and, as well, as many polls have been made as that time holds
// at one a millisecond. A target whose own time runs with the accesses made to it (the
// simulated board) thus gets every poll it is owed however slowly the host runs; on a real
// cable a poll with its pause takes a millisecond or more, so the time decides alone.
#pragma once

#include <chrono>
#include <cstdint>

namespace vantrel::flash {

class PollLimit {
 public:
  explicit PollLimit(std::chrono::milliseconds limit)
      : deadline_(std::chrono::steady_clock::now() + limit), pollsOwed_(limit.count()) {}

  // Counts one poll that found the target still busy.
  [[nodiscard]] bool Reached() {
    ++polls_;
    return polls_ >= pollsOwed_ && std::chrono::steady_clock::now() >= deadline_;
  }

 private:
  std::chrono::steady_clock::time_point deadline_;
  int64_t pollsOwed_;
  int64_t polls_ = 0;
};

}  // namespace vantrel::flash
