// The host's Intel HEX reader on arbitrary text: it refuses with a reason or reads
// segments that are non-empty, inside the address space, disjoint and in address order.
#include <cstddef>
#include <cstdint>
#include <string>

#include "image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantrel::cli::Image image;
  std::string error;
  if (!vantrel::cli::ReadIntelHex(std::string(reinterpret_cast<const char*>(data), size), &image, &error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  uint64_t previousEnd = 0;
  for (const vantrel::cli::Segment& segment : image.segments) {
    const uint64_t end = segment.address + static_cast<uint64_t>(segment.bytes.size());
    if (segment.bytes.empty() || end > 0x100000000ull || segment.address < previousEnd) __builtin_trap();
    previousEnd = end;
  }
  return 0;
}
