// The memory the host has declared readable (read-only and read-write regions of the
// library's memory map): the only memory a read may be widened into, since nothing says
// what reading elsewhere does (a bus abort, a peripheral register that changes when read).
#pragma once

#include <string_view>
#include <vector>

#include "library.h"
#include "memory_cache.h"

namespace vantrel::gdb {

// The readable regions in the library's listing of the memory map.
std::vector<ReadableWindow> ParseReadableRegions(std::string_view listing);
// Asks the library for its listing (no target access) and parses it.
std::vector<ReadableWindow> ReadableRegions(const client::Library& library);
// Only the regions declared read-only: ROM to GDB's memory map.
std::vector<ReadableWindow> ReadOnlyRegions(const client::Library& library);

}  // namespace vantrel::gdb
