#include "platform/clock.h"

#include <atomic>

#include "platform/platform.h"

namespace vantrel::platform {

namespace {

// Null while the real clock serves: no object of its own, so a wait made while the
// process runs its static destructors (the library's unload) still sleeps as it should.
// Read by the job worker as well as the host's threads.
std::atomic<Clock*> g_clock{nullptr};

}  // namespace

void UseClock(Clock* clock) { g_clock.store(clock); }

void SleepMilliseconds(unsigned milliseconds) {
  Clock* const clock = g_clock.load();
  if (clock == nullptr) {
    SystemSleepMilliseconds(milliseconds);
  } else {
    clock->SleepMilliseconds(milliseconds);
  }
}

}  // namespace vantrel::platform
