// GDB's memory map (qXfer:memory-map:read): the flash banks with their erase blocks, the
// regions the host declared read-only as ROM, and RAM everywhere else, so that GDB
// sets hardware breakpoints by itself where memory cannot take a pattern and keeps
// every other address accessible.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::gdb {

struct MapArea {
  enum class Kind { kFlash, kRom };
  uint64_t start = 0;
  uint64_t end = 0;  // one past the last byte
  Kind kind = Kind::kRom;
  uint32_t blockSize = 0;  // flash: the erase block
};

// The map's XML. Flash wins where a declared region overlaps it; areas overlapping an
// earlier one are clipped to what is left.
std::string MemoryMapXml(std::vector<MapArea> areas);

// The reply to "OFFSET,LENGTH" of the document: "m" or "l" and that part of it, at most
// maxBytes; empty when the request is malformed.
std::string MemoryMapPart(const std::string& xml, const std::string& range, size_t maxBytes);

}  // namespace vantrel::gdb
