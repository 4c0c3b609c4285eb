#include "platform/clock.h"

#include <atomic>

#include "platform/platform.h"

namespace vantrel::platform {

namespace {

class SystemClock final : public Clock {
 public:
  void SleepMilliseconds(unsigned milliseconds) override { SystemSleepMilliseconds(milliseconds); }
};

SystemClock g_system_clock;
// Read by the job worker as well as the host's threads.
std::atomic<Clock*> g_clock{&g_system_clock};

}  // namespace

void UseClock(Clock* clock) { g_clock.store(clock != nullptr ? clock : &g_system_clock); }

void SleepMilliseconds(unsigned milliseconds) { g_clock.load()->SleepMilliseconds(milliseconds); }

}  // namespace vantrel::platform
