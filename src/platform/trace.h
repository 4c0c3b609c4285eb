// Diagnostic trace lines. Nothing in the library depends on them; the host never sees
// them unless it installs a sink (VantrelSetTraceSink).
#pragma once

#include "vantrel_port.h"

namespace vantrel {

#if defined(__GNUC__)
#define VANTREL_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define VANTREL_PRINTF_FORMAT(f, a)
#endif

void Trace(const char* format, ...) VANTREL_PRINTF_FORMAT(1, 2);
void SetTraceSink(VantrelTraceSink sink, void* context);  // null sink: the default channel
void ResetTraceSink();

}  // namespace vantrel
