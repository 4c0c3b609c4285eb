// Every wait of the library goes through one clock. The real one sleeps; a test may put
// a clock in its place that moves time on at once, so that the waits whose length is
// not what it checks (the cable's retries, the halt polls, the reset pulse) cost it
// nothing.
#pragma once

namespace vantrel::platform {

class Clock {
 public:
  Clock() = default;
  Clock(const Clock&) = delete;
  Clock& operator=(const Clock&) = delete;

  virtual void SleepMilliseconds(unsigned milliseconds) = 0;

 protected:
  // Never deleted through the interface: a clock whose destructor does nothing (the
  // host's) still serves a wait made during the library's unload, among the static
  // destructors.
  ~Clock() = default;
};

// The clock every wait of the library uses from now on; nullptr puts the real one back.
// The caller keeps the clock alive until it is replaced, and replaces it only while no
// thread of the library waits.
void UseClock(Clock* clock);

// The operating system's own sleep, the real clock's: waits go through SleepMilliseconds.
void SystemSleepMilliseconds(unsigned milliseconds);

}  // namespace vantrel::platform
