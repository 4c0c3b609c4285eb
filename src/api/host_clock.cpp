// The host's own time for the library's waits: a host that drives a simulated target
// through the port seam need not spend real time on waits meant for real hardware.
#include <type_traits>

#include "api/instance.h"
#include "platform/clock.h"
#include "vantrel_port.h"

namespace {

class HostClock final : public vantrel::platform::Clock {
 public:
  void Set(VantrelSleep sleep, void* context) {
    sleep_ = sleep;
    context_ = context;
  }
  void SleepMilliseconds(unsigned milliseconds) override { sleep_(context_, milliseconds); }

 private:
  VantrelSleep sleep_ = nullptr;
  void* context_ = nullptr;
};

HostClock g_host_clock;
static_assert(std::is_trivially_destructible_v<HostClock>);

}  // namespace

extern "C" {

// No command may be waiting while the clock changes: the switch waits for a running job
// as a command does.
VANTREL_API void VANTREL_CALL VantrelUseClock(VantrelSleep sleep, void* context) {
  const bool entered =
      vantrel::api::InstanceActive() && vantrel::api::EnterCableCall() == vantrel::api::Entry::kEntered;
  if (sleep == nullptr) {
    vantrel::platform::UseClock(nullptr);
  } else {
    vantrel::platform::UseClock(nullptr);  // the old host clock is no longer read
    g_host_clock.Set(sleep, context);
    vantrel::platform::UseClock(&g_host_clock);
  }
  if (entered) vantrel::api::LeaveCableCall();
}

}  // extern "C"
