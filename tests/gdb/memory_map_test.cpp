// GDB's memory map from the flash banks and the declared ROM: RAM fills every gap, flash
// wins an overlap, and the document is served in parts.
#include <gtest/gtest.h>

#include <string>

#include "memory_map_xml.h"

namespace vantrel::gdb {
namespace {

using Kind = MapArea::Kind;

std::string Body(const std::string& xml) {
  const size_t from = xml.find("<memory-map>") + 12;
  return xml.substr(from, xml.find("</memory-map>") - from);
}

TEST(MemoryMapXml, RamFillsTheGapsAndFlashWinsOverDeclaredRom) {
  const struct {
    const char* what;
    std::vector<MapArea> areas;
    std::string body;
  } cases[] = {
      {"nothing declared", {}, R"(<memory type="ram" start="0x0" length="0x100000000"/>)"},
      {"ROM in the middle",
       {{0x80000, 0x90000, Kind::kRom, 0}},
       R"(<memory type="ram" start="0x0" length="0x80000"/><memory type="rom" start="0x80000" length="0x10000"/>)"
       R"(<memory type="ram" start="0x90000" length="0xfff70000"/>)"},
      {"ROM over flash and beyond it",
       {{0x0, 0x8000, Kind::kRom, 0}, {0x4000, 0x6000, Kind::kFlash, 0x2000}},
       R"(<memory type="rom" start="0x0" length="0x4000"/>)"
       R"(<memory type="flash" start="0x4000" length="0x2000"><property name="blocksize">0x2000</property></memory>)"
       R"(<memory type="rom" start="0x6000" length="0x2000"/><memory type="ram" start="0x8000" length="0xffff8000"/>)"},
      {"overlapping ROM, to the top",
       {{0xFFFF0000, 0x100000000, Kind::kRom, 0}, {0xFFFE0000, 0xFFFF8000, Kind::kRom, 0}},
       R"(<memory type="ram" start="0x0" length="0xfffe0000"/><memory type="rom" start="0xfffe0000" length="0x18000"/>)"
       R"(<memory type="rom" start="0xffff8000" length="0x8000"/>)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Body(MemoryMapXml(c.areas)), c.body);
  }
}

// "m" or "l" before a part of the document.
std::string Part(const char* mark, const std::string& text) { return std::string(mark).append(text); }

TEST(MemoryMapXml, TheDocumentIsServedInParts) {
  const std::string xml = MemoryMapXml({});
  EXPECT_EQ(MemoryMapPart(xml, "0,10", 4096), Part("m", xml.substr(0, 16)));
  EXPECT_EQ(MemoryMapPart(xml, "10,fff", 4096), Part("l", xml.substr(16)));
  EXPECT_EQ(MemoryMapPart(xml, "0,fff", 8), Part("m", xml.substr(0, 8)));
  EXPECT_EQ(MemoryMapPart(xml, "ffff,10", 4096), "l");
  EXPECT_EQ(MemoryMapPart(xml, "0", 4096), "");
  EXPECT_EQ(MemoryMapPart(xml, "zz,10", 4096), "");
}

}  // namespace
}  // namespace vantrel::gdb
