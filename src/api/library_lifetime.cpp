// What happens when the host loads and unloads the library. This file is linked into
// the shared library only, so test programs never take the machine-wide marker.
#include "api/instance.h"

namespace {

class InstanceGuard {
 public:
  InstanceGuard() { vantrel::api::LoadInstance(); }
  ~InstanceGuard() { vantrel::api::UnloadInstance(); }
  InstanceGuard(const InstanceGuard&) = delete;
  InstanceGuard& operator=(const InstanceGuard&) = delete;
};

const InstanceGuard g_instance_guard;

}  // namespace
