// The one seam through which every port access of the library goes: the hardware's
// IN and OUT instructions, or a virtual port plugged in with VantrelUsePortIo. Each
// access is followed by the PortDelay busy-wait, which paces the TAP clock.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "vantrel_port.h"

namespace vantrel::cable {

void PortWrite(uint16_t port, uint8_t value);
uint8_t PortRead(uint16_t port);

// One attempt to obtain port access: through the virtual port's acquire callback when
// one is plugged in, otherwise from the platform.
[[nodiscard]] platform::PortAccess RequestPortAccess();

// Null: back to the hardware. The structure is copied.
void UsePortIo(const VantrelPortIo* io);

int32_t PortDelay();
void SetPortDelay(int32_t loops);  // negative values become 0

// Back to the values at load: hardware access, PortDelay 0.
void ResetPortIo();

}  // namespace vantrel::cable
