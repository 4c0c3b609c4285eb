// Which bit of the parallel port drives or senses which line of the cable. Nothing
// else in the library knows the pin assignment.
#pragma once

#include <cstdint>

namespace vantrel::cable::lines {

// Data register (driven by the library).
inline constexpr uint8_t kResetReleased = 0x01;  // D0: the target's reset, high = released
inline constexpr uint8_t kTms = 0x02;            // D1
inline constexpr uint8_t kTck = 0x04;            // D2
inline constexpr uint8_t kTdi = 0x08;            // D3
inline constexpr uint8_t kAllLow = 0x00;         // reset asserted, every TAP line low

// Status register (sensed). Every line reads inverted: a 0 bit is the active level.
inline constexpr uint8_t kTdoInverted = 0x80;      // BUSY
inline constexpr uint8_t kFirstSenseLine = 0x40;   // ACK
inline constexpr uint8_t kSecondSenseLine = 0x20;  // PAPER END

// Control register: written only to let go of the cable.
inline constexpr uint8_t kReleaseControl = 0x0B;
inline constexpr uint8_t kControlIdle = 0x00;

// Written to the data register and read back: a port that holds it is taken to be
// the one the cable is on.
inline constexpr uint8_t kPresenceTestByte = 0x55;

}  // namespace vantrel::cable::lines
