#include "readable_regions.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "target_facts.h"

namespace vantrel::gdb {

namespace {

std::vector<ReadableWindow> ParseRegions(std::string_view listing, bool readOnlyOnly) {
  // A row: "01    0x00000000    0x00010000    -R"; the header and anything else is no row.
  std::vector<ReadableWindow> windows;
  size_t from = 0;
  while (from < listing.size()) {
    size_t end = listing.find('\n', from);
    if (end == std::string_view::npos) end = listing.size();
    const std::string line(listing.substr(from, end - from));
    from = end + 1;
    unsigned number = 0;
    uint32_t start = 0, length = 0;
    char property[8] = {};
    if (std::sscanf(line.c_str(), "%u 0x%" SCNx32 " 0x%" SCNx32 " %7s", &number, &start, &length, property) != 4) {
      continue;
    }
    const std::string access = property;
    if (access == "-R" || (access == "-RW" && !readOnlyOnly)) windows.push_back({start, uint64_t{start} + length});
  }
  return windows;
}

std::vector<ReadableWindow> ListedRegions(const client::Library& library, bool readOnlyOnly) {
  const client::Answer answer = client::ListRegions(library);
  return answer.Ok() ? ParseRegions(answer.text, readOnlyOnly) : std::vector<ReadableWindow>{};
}

}  // namespace

std::vector<ReadableWindow> ParseReadableRegions(std::string_view listing) { return ParseRegions(listing, false); }

std::vector<ReadableWindow> ReadableRegions(const client::Library& library) { return ListedRegions(library, false); }

std::vector<ReadableWindow> ReadOnlyRegions(const client::Library& library) { return ListedRegions(library, true); }

}  // namespace vantrel::gdb
