// Where the three parallel ports live, and the optional lpt.ini beside the host
// executable that can move them and slow the TAP clock down.
//
// lpt.ini is plain text, read line by line, case-sensitive, the last line of a kind
// winning:
//   lpt2=2F8     (or lpt2=0x2F8) moves lpt2 to data 0x2F8, status 0x2F9, control 0x2FA,
//                and reaches it with IN and OUT
//   lpt1=/dev/parport0   reaches lpt1 through that port device (up to the first blank)
//   delay=100    PortDelay becomes 100; a negative number becomes 0, one above
//                kMaxPortDelay becomes kMaxPortDelay (with a trace line)
//   transfer=fast   memory transfers use the fast sequences; transfer=exact (the
//                default) keeps the exact ones
//   workarea=3F000,100   target RAM (address, then size in bytes, both hexadecimal, 0x
//                allowed) that the fast transfers may borrow for a loop the core runs;
//                its contents are saved and put back
// A host's own choice of transfer mode (SetHostTransferMode) overrides the transfer line.
// A line containing "lpt" anywhere is a port line, even when it also holds "delay".
// Lines that don't parse change nothing, and nothing ever goes back to its default:
// a value read once stays until another line replaces it. What was read is kept in the
// parallel-port cable's state, which every function here takes first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vantrel::cable {

struct PortCableState;

inline constexpr int kPortCount = 3;  // lpt1, lpt2, lpt3

// Addresses are kept whole as read; only their low 16 bits reach the port (IoAddress).
struct PortAddresses {
  int32_t data;
  int32_t status;
  int32_t control;
  bool operator==(const PortAddresses&) const = default;
};

constexpr uint16_t IoAddress(int32_t address) {
  return static_cast<uint16_t>(static_cast<uint32_t>(address) & 0xFFFFu);
}

// portIndex 0 to 2; any other index gives all-zero addresses.
const PortAddresses& PortTableEntry(const PortCableState& state, int portIndex);

// How a port is reached. Without a line for it: with IN and OUT when the process may use
// them, else through the port device of the same number (DefaultPortDevice).
enum class PortWay { kAutomatic, kDirect, kDevice };
PortWay ConfiguredPortWay(const PortCableState& state, int portIndex);
// The device a port line named; empty unless the way is kDevice.
const char* ConfiguredPortDevice(const PortCableState& state, int portIndex);
// /dev/parport0 for lpt1, and so on.
std::string DefaultPortDevice(int portIndex);

// Reads lpt.ini from the host executable's directory; a missing file, or a path that
// would not fit in 260 characters, changes nothing. So does anything but a regular file
// of at most kMaxConfigFileSize bytes (a FIFO, a device, a directory), with a trace line.
void LoadPortConfig(PortCableState& state);
// The same, from a named file (tests, embedding programs).
void LoadPortConfigFile(PortCableState& state, const std::string& path);
// Handles one line as read from the file (newline included, at most 255 characters).
// Null is ignored.
void ApplyPortConfigLine(PortCableState& state, const char* line);

inline constexpr const char* kPortConfigFileName = "lpt.ini";
inline constexpr std::size_t kMaxConfigPath = 260;  // characters, terminator included
inline constexpr int kConfigLineBufferSize = 256;   // so one read takes at most 255 characters
inline constexpr std::size_t kMaxConfigFileSize = std::size_t{64} * 1024;

enum class TransferMode { kExact, kFast };
// The host's choice when it made one, otherwise lpt.ini's.
TransferMode ConfiguredTransferMode(const PortCableState& state);
// VANTREL_TRANSFER_AS_CONFIGURED, _EXACT or _FAST (vantrel_port.h); other values change
// nothing. Kept across opens until the host chooses again.
void SetHostTransferMode(PortCableState& state, int mode);

// The work area of the last workarea line that parsed (a size of at least 1, ending
// within the 32-bit address space); none without one.
struct WorkArea {
  uint32_t address;
  uint32_t size;
};
std::optional<WorkArea> ConfiguredWorkArea(const PortCableState& state);

}  // namespace vantrel::cable
