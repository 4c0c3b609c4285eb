#include "platform/trace.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/platform.h"

namespace vantrel {
namespace {

// The sink and its context are one unit under one lock, held while the sink runs: a
// line never reaches a sink with another sink's context, and once SetTraceSink has
// returned, the sink it replaced is never called again. std::mutex is constant-
// initialised, so lines written while the library is being loaded find it ready.
std::mutex g_sink_mutex;
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
    const std::lock_guard<std::mutex> lock(g_sink_mutex);
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
  const std::lock_guard<std::mutex> lock(g_sink_mutex);
  g_sink = sink;
  g_sink_context = context;
}

void ResetTraceSink() { SetTraceSink(nullptr, nullptr); }

}  // namespace vantrel
