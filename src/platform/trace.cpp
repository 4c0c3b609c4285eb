#include "platform/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

namespace vantrel {
namespace {

// The sink may be read by the job worker while a host thread installs another one.
std::atomic<VantrelTraceSink> g_sink{nullptr};
std::atomic<void*> g_sink_context{nullptr};

}  // namespace

void Trace(const char* format, ...) {
  char line[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  VantrelTraceSink sink = g_sink.load(std::memory_order_acquire);
  if (sink != nullptr) {
    sink(g_sink_context.load(std::memory_order_acquire), line);
  } else {
    platform::WriteDebugOutput(line);
  }
}

void SetTraceSink(VantrelTraceSink sink, void* context) {
  g_sink.store(nullptr, std::memory_order_release);
  g_sink_context.store(context, std::memory_order_release);
  g_sink.store(sink, std::memory_order_release);
}

void ResetTraceSink() { SetTraceSink(nullptr, nullptr); }

}  // namespace vantrel
