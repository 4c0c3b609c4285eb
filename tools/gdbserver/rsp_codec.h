// The framing of GDB's remote serial protocol: $payload#cs packets, the 0x03 break,
// acknowledgements, escaped binary data and hex numbers. Pure functions and a byte
// reader, so malformed input can be tested without a socket.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::gdb {

// The largest payload the server takes (announced as PacketSize); larger ones are
// refused whole.
inline constexpr size_t kMaxPacketBytes = 0x4000;

struct RspEvent {
  enum class Kind { kPacket, kBadChecksum, kOversized, kBreak, kAck, kNak };
  Kind kind;
  std::string payload;  // kPacket: the payload with '}' escapes still in it
};

// Turns the bytes from the client into events, whatever arrives between them.
class RspReader {
 public:
  // Takes one byte; an event when it completed one.
  std::optional<RspEvent> Feed(char byte);
  // Inside a packet: its '$' came, its checksum has not.
  bool InPacket() const { return state_ != State::kIdle; }

 private:
  enum class State { kIdle, kPayload, kChecksum1, kChecksum2 };
  State state_ = State::kIdle;
  std::string payload_;
  bool oversized_ = false;
  uint8_t sum_ = 0;
  char firstDigit_ = 0;
};

// "$payload#cs" with '#', '$', '}' and '*' escaped.
std::string FramePacket(std::string_view payload);
// Undoes the '}' escapes of binary data (X packets); empty on a dangling escape.
std::optional<std::string> Unescape(std::string_view data);

std::string HexBytes(const void* data, size_t length);
std::string HexText(std::string_view text);
std::optional<std::vector<unsigned char>> ParseHexBytes(std::string_view hex);
// A hex number of at most 8 digits (no prefix); empty for anything else.
std::optional<uint32_t> ParseHex32(std::string_view hex);
// A 32-bit value as the target holds it in memory: little-endian hex.
std::string HexWordLe(uint32_t value);
std::optional<uint32_t> ParseHexWordLe(std::string_view hex);

}  // namespace vantrel::gdb
