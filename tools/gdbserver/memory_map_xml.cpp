#include "memory_map_xml.h"

#include <algorithm>
#include <cstdio>

#include "rsp_codec.h"

namespace vantrel::gdb {
namespace {

constexpr uint64_t kAddressSpace = uint64_t{1} << 32;

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

std::string Element(const char* type, uint64_t start, uint64_t end) {
  std::string xml = "<memory type=\"";
  xml.append(type).append("\" start=\"").append(Hex(start)).append("\" length=\"").append(Hex(end - start));
  return xml;
}

std::string AreaXml(const MapArea& area, uint64_t start) {
  if (area.kind == MapArea::Kind::kRom) return Element("rom", start, area.end) + "\"/>";
  return Element("flash", start, area.end) + "\"><property name=\"blocksize\">" + Hex(area.blockSize) +
         "</property></memory>";
}

// The ROM areas with the flash cut out of them, and the flash areas as they are.
std::vector<MapArea> FlashOverRom(const std::vector<MapArea>& areas) {
  std::vector<MapArea> flash;
  for (const MapArea& area : areas) {
    if (area.kind == MapArea::Kind::kFlash) flash.push_back(area);
  }
  std::vector<MapArea> result = flash;
  for (const MapArea& area : areas) {
    if (area.kind != MapArea::Kind::kRom) continue;
    std::vector<MapArea> pieces{area};
    for (const MapArea& bank : flash) {
      std::vector<MapArea> left;
      for (const MapArea& piece : pieces) {
        if (piece.start < bank.start) left.push_back({piece.start, std::min(piece.end, bank.start), piece.kind, 0});
        if (piece.end > bank.end) left.push_back({std::max(piece.start, bank.end), piece.end, piece.kind, 0});
      }
      pieces = left;
    }
    result.insert(result.end(), pieces.begin(), pieces.end());
  }
  std::sort(result.begin(), result.end(), [](const MapArea& a, const MapArea& b) { return a.start < b.start; });
  return result;
}

}  // namespace

std::string MemoryMapXml(std::vector<MapArea> areas) {
  areas = FlashOverRom(areas);
  std::string xml =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE memory-map PUBLIC \"+//IDN gnu.org//DTD GDB Memory Map V1.0//EN\" "
      "\"http://sourceware.org/gdb/gdb-memory-map.dtd\">\n<memory-map>";
  uint64_t next = 0;
  for (const MapArea& area : areas) {
    const uint64_t end = std::min(area.end, kAddressSpace);
    if (end <= next) continue;
    // Overlapping declared regions: the later one keeps its rest.
    const uint64_t start = std::max(area.start, next);
    if (start > next) xml += Element("ram", next, start) + "\"/>";
    xml += AreaXml({area.start, end, area.kind, area.blockSize}, start);
    next = end;
  }
  if (next < kAddressSpace) xml += Element("ram", next, kAddressSpace) + "\"/>";
  return xml + "</memory-map>\n";
}

std::string MemoryMapPart(const std::string& xml, const std::string& range, size_t maxBytes) {
  const size_t comma = range.find(',');
  if (comma == std::string::npos) return "";
  const auto offset = ParseHex32(range.substr(0, comma));
  const auto length = ParseHex32(range.substr(comma + 1));
  if (!offset || !length) return "";
  if (*offset >= xml.size()) return "l";
  const size_t part = std::min<size_t>({*length, xml.size() - *offset, maxBytes});
  const bool last = *offset + part >= xml.size();
  std::string reply = last ? "l" : "m";
  return reply.append(xml, *offset, part);
}

}  // namespace vantrel::gdb
