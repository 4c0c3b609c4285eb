// The host's ELF reader on arbitrary files: it refuses with a reason or reads an image
// that is consistent (segments non-empty, inside the address space and disjoint), and
// naming addresses by its symbols never fails.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image.h"

namespace {

using vantrel::cli::Image;
using vantrel::cli::Segment;

void CheckSegments(const Image& image) {
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  for (const Segment& segment : image.segments) {
    const uint64_t end = segment.address + static_cast<uint64_t>(segment.bytes.size());
    if (segment.bytes.empty() || end > 0x100000000ull) __builtin_trap();
    ranges.emplace_back(segment.address, end);
  }
  std::sort(ranges.begin(), ranges.end());
  for (size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i - 1].second > ranges[i].first) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Image image;
  std::string error;
  if (!vantrel::cli::ReadElfImage(std::vector<unsigned char>(data, data + size), &image, &error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  CheckSegments(image);
  for (const Segment& segment : image.segments) {
    (void)image.symbols.Describe(segment.address);
    (void)image.symbols.Describe(static_cast<uint32_t>(segment.address + segment.bytes.size() - 1));
  }
  if (image.entry) (void)image.symbols.Describe(*image.entry);
  (void)image.symbols.Find("main");
  return 0;
}
