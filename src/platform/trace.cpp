#include "platform/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/platform.h"

namespace vantrel {
namespace {

// A lock that needs no construction or destruction: lines may be written while the
// library's static objects are still being built or torn down, in an order no platform
// fixes, and not every C++ runtime builds a std::mutex at compile time. The entry lock
// already lets most writers in one at a time, so a waiting thread merely yields.
class SinkLock {
 public:
  void lock() {
    while (flag_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  void unlock() { flag_.clear(std::memory_order_release); }

 private:
  std::atomic_flag flag_;
};

// The sink and its context are one unit under one lock, held while the sink runs: a
// line never reaches a sink with another sink's context, and once SetTraceSink has
// returned, the sink it replaced is never called again.
constinit SinkLock g_sink_lock;
VantrelTraceSink g_sink = nullptr;
void* g_sink_context = nullptr;

// Set while this thread runs the host's sink, with the lock held: the sink may install
// another sink (the lock is this thread's already), and a line written meanwhile goes
// to the default channel instead of waiting for the lock forever.
thread_local bool t_in_sink = false;

}  // namespace

void Trace(const char* format, ...) {
  char line[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  if (!t_in_sink) {
    const std::lock_guard<SinkLock> lock(g_sink_lock);
    if (g_sink != nullptr) {
      t_in_sink = true;
      g_sink(g_sink_context, line);
      t_in_sink = false;
      return;
    }
  }
  platform::WriteDebugOutput(line);
}

void SetTraceSink(VantrelTraceSink sink, void* context) {
  if (t_in_sink) {
    g_sink = sink;
    g_sink_context = context;
    return;
  }
  const std::lock_guard<SinkLock> lock(g_sink_lock);
  g_sink = sink;
  g_sink_context = context;
}

void ResetTraceSink() { SetTraceSink(nullptr, nullptr); }

}  // namespace vantrel
