// A clock for the tests of the library's own objects: a wait moves virtual time on and
// returns at once. Constructing one puts it in the library's place for the waits; its
// end puts the real clock back. The tests that load the built library (and the board's
// tests, which keep time of their own) wait on the real clock.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock.h"

namespace vantrel::test {

class VirtualClock final : public platform::Clock {
 public:
  VirtualClock() { platform::UseClock(this); }
  ~VirtualClock() { platform::UseClock(nullptr); }
  VirtualClock(const VirtualClock&) = delete;
  VirtualClock& operator=(const VirtualClock&) = delete;

  void SleepMilliseconds(unsigned milliseconds) override {
    elapsed_ += milliseconds;
    ++waits_;
  }

  // The time the library has waited since this clock was put in place.
  uint64_t ElapsedMilliseconds() const { return elapsed_; }
  unsigned Waits() const { return waits_; }

 private:
  std::atomic<uint64_t> elapsed_{0};
  std::atomic<unsigned> waits_{0};
};

}  // namespace vantrel::test
