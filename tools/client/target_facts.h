// The memory map and the EmbeddedICE registers as the library reports them, shared by
// the command line and the GDB server.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "library.h"

namespace vantrel::client {

// ---- The memory map ----------------------------------------------------------------
// "ro", "wo" or "rw" as a region's access property; nothing for any other word.
std::optional<uint32_t> RegionPropertyNamed(const std::string& word);
Answer AddRegion(const Library& library, uint64_t start, uint64_t length, uint32_t property);
// The answer's text lists the regions, one a line.
Answer ListRegions(const Library& library);

// ---- The EmbeddedICE registers -------------------------------------------------------
inline constexpr size_t kIceRegisterCount = 16;
// The host's names of the registers, in the order the library answers them.
extern const std::array<const char*, kIceRegisterCount> kIceRegisterNames;

struct IceReading {
  Answer answer;  // the command's answer; the values are meaningful only when it is Ok
  std::array<uint32_t, kIceRegisterCount> values{};
};
IceReading ReadIce(const Library& library);

}  // namespace vantrel::client
