// Where the three parallel ports live, and the optional lpt.ini beside the host
// executable that can move them and slow the TAP clock down.
//
// lpt.ini is plain text, read line by line, case-sensitive, the last line of a kind
// winning:
//   lpt2=2F8     (or lpt2=0x2F8) moves lpt2 to data 0x2F8, status 0x2F9, control 0x2FA
//   delay=100    PortDelay becomes 100; a negative number becomes 0, one above
//                kMaxPortDelay becomes kMaxPortDelay (with a trace line)
//   transfer=fast   memory transfers use the fast sequences; transfer=exact (the
//                default) keeps the exact ones
// The environment variable VANTREL_TRANSFER (fast or exact), read after the file,
// overrides its transfer line: a host chooses the mode without writing lpt.ini.
// A line containing "lpt" anywhere is a port line, even when it also holds "delay".
// Lines that don't parse change nothing, and nothing ever goes back to its default:
// a value read once stays until another line replaces it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantrel::cable {

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
const PortAddresses& PortTableEntry(int portIndex);

// Reads lpt.ini from the host executable's directory; a missing file, or a path that
// would not fit in 260 characters, changes nothing. So does anything but a regular file
// of at most kMaxConfigFileSize bytes (a FIFO, a device, a directory), with a trace line.
void LoadPortConfig();
// The same, from a named file (tests, embedding programs).
void LoadPortConfigFile(const std::string& path);
// Handles one line as read from the file (newline included, at most 255 characters).
// Null is ignored.
void ApplyPortConfigLine(const char* line);

inline constexpr const char* kPortConfigFileName = "lpt.ini";
inline constexpr const char* kTransferModeVariable = "VANTREL_TRANSFER";
inline constexpr std::size_t kMaxConfigPath = 260;  // characters, terminator included
inline constexpr int kConfigLineBufferSize = 256;   // so one read takes at most 255 characters
inline constexpr std::size_t kMaxConfigFileSize = std::size_t{64} * 1024;

enum class TransferMode { kExact, kFast };
TransferMode ConfiguredTransferMode();

void ResetPortConfig();  // default addresses, exact transfers

}  // namespace vantrel::cable
