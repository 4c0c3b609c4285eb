// Bytes from a GDB client: framed into packets whatever arrives, each packet's fields
// parsed as the server parses them, and every payload framed again and read back
// unchanged. Nothing here may crash, loop or lose a byte.
#include <cstddef>
#include <cstdint>
#include <string>

#include "rsp_codec.h"

namespace {

void CheckRoundTrip(const std::string& payload) {
  using namespace vantrel::gdb;
  RspReader reader;
  std::optional<RspEvent> event;
  for (const char byte : FramePacket(payload)) {
    if (event) __builtin_trap();  // one packet, completed by its last byte only
    event = reader.Feed(byte);
  }
  if (!event || event->kind != RspEvent::Kind::kPacket) __builtin_trap();
  const auto plain = Unescape(event->payload);
  if (!plain || *plain != payload) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vantrel::gdb;
  RspReader reader;
  for (size_t i = 0; i < size; ++i) {
    const auto event = reader.Feed(static_cast<char>(data[i]));
    if (!event || event->kind != RspEvent::Kind::kPacket) continue;
    const std::string& payload = event->payload;
    if (payload.size() > kMaxPacketBytes) __builtin_trap();
    (void)ParseHexBytes(payload);
    (void)ParseHex32(payload.substr(0, 9));
    (void)ParseHexWordLe(payload.substr(0, 8));
    if (const auto plain = Unescape(payload); plain && plain->size() < 4096) CheckRoundTrip(*plain);
  }
  return 0;
}
