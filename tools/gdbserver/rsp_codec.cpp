#include "rsp_codec.h"

namespace vantrel::gdb {

namespace {

constexpr char kEscape = '}';
constexpr char kEscapeXor = 0x20;
constexpr char kBreakByte = 0x03;

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

bool NeedsEscape(char c) { return c == '#' || c == '$' || c == kEscape || c == '*'; }

}  // namespace

std::optional<RspEvent> RspReader::Feed(char byte) {
  switch (state_) {
    case State::kIdle:
      // Anything else between packets (line noise, a stray '#') is skipped.
      if (byte == '$') {
        state_ = State::kPayload;
        payload_.clear();
        oversized_ = false;
        sum_ = 0;
      } else if (byte == kBreakByte) {
        return RspEvent{RspEvent::Kind::kBreak, {}};
      } else if (byte == '+') {
        return RspEvent{RspEvent::Kind::kAck, {}};
      } else if (byte == '-') {
        return RspEvent{RspEvent::Kind::kNak, {}};
      }
      return std::nullopt;
    case State::kPayload:
      if (byte == '#') {
        state_ = State::kChecksum1;
        return std::nullopt;
      }
      sum_ = static_cast<uint8_t>(sum_ + static_cast<uint8_t>(byte));
      if (payload_.size() < kMaxPacketBytes) payload_ += byte;
      else oversized_ = true;
      return std::nullopt;
    case State::kChecksum1:
      firstDigit_ = byte;
      state_ = State::kChecksum2;
      return std::nullopt;
    case State::kChecksum2: break;
  }
  state_ = State::kIdle;
  const auto high = HexDigit(firstDigit_);
  const auto low = HexDigit(byte);
  if (oversized_) return RspEvent{RspEvent::Kind::kOversized, {}};
  if (!high || !low || (*high << 4 | *low) != sum_) return RspEvent{RspEvent::Kind::kBadChecksum, {}};
  return RspEvent{RspEvent::Kind::kPacket, std::move(payload_)};
}

std::string FramePacket(std::string_view payload) {
  std::string framed = "$";
  uint8_t sum = 0;
  for (const char c : payload) {
    if (NeedsEscape(c)) {
      framed += kEscape;
      sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(kEscape));
      const char escaped = static_cast<char>(c ^ kEscapeXor);
      framed += escaped;
      sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(escaped));
    } else {
      framed += c;
      sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
    }
  }
  framed += '#';
  framed += HexBytes(&sum, 1);
  return framed;
}

std::optional<std::string> Unescape(std::string_view data) {
  std::string plain;
  plain.reserve(data.size());
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] != kEscape) {
      plain += data[i];
      continue;
    }
    if (++i == data.size()) return std::nullopt;
    plain += static_cast<char>(data[i] ^ kEscapeXor);
  }
  return plain;
}

std::string HexBytes(const void* data, size_t length) {
  static const char kDigits[] = "0123456789abcdef";
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::string hex;
  hex.reserve(length * 2);
  for (size_t i = 0; i < length; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0xF];
  }
  return hex;
}

std::string HexText(std::string_view text) { return HexBytes(text.data(), text.size()); }

std::optional<std::vector<unsigned char>> ParseHexBytes(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::vector<unsigned char> bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const auto high = HexDigit(hex[i]);
    const auto low = HexDigit(hex[i + 1]);
    if (!high || !low) return std::nullopt;
    bytes.push_back(static_cast<unsigned char>(*high << 4 | *low));
  }
  return bytes;
}

std::optional<uint32_t> ParseHex32(std::string_view hex) {
  if (hex.empty() || hex.size() > 8) return std::nullopt;
  uint32_t value = 0;
  for (const char c : hex) {
    const auto digit = HexDigit(c);
    if (!digit) return std::nullopt;
    value = value << 4 | static_cast<uint32_t>(*digit);
  }
  return value;
}

std::string HexWordLe(uint32_t value) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                  static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  return HexBytes(bytes, 4);
}

std::optional<uint32_t> ParseHexWordLe(std::string_view hex) {
  const auto bytes = ParseHexBytes(hex);
  if (!bytes || bytes->size() != 4) return std::nullopt;
  return static_cast<uint32_t>((*bytes)[0]) | static_cast<uint32_t>((*bytes)[1]) << 8 |
         static_cast<uint32_t>((*bytes)[2]) << 16 | static_cast<uint32_t>((*bytes)[3]) << 24;
}

}  // namespace vantrel::gdb
