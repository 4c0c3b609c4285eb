#include "gdb_flash.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "rsp_codec.h"

namespace vantrel::gdb {

namespace {

const std::string kFailed = "E01";
const std::string kMalformed = "E03";
// vFlashWrite outside flash: GDB's own answer for a write to the wrong kind of memory.
const std::string kNotFlash = "E.memtype";
// What one load may send before vFlashDone; a client that sends more is refused.
constexpr size_t kMostPendingBytes = 64u << 20;

std::optional<uint32_t> ParseNumber(const std::string& word) {
  if (word.empty() || word[0] == '-') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(word.c_str(), &end, 0);
  if (*end != '\0' || errno != 0 || value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<uint32_t>(value);
}

std::optional<std::pair<uint32_t, uint32_t>> HexPair(const std::string& text, char separator) {
  const size_t split = text.find(separator);
  if (split == std::string::npos) return std::nullopt;
  const auto first = ParseHex32(text.substr(0, split));
  const auto second = ParseHex32(text.substr(split + 1));
  if (!first || !second) return std::nullopt;
  return std::make_pair(*first, *second);
}

std::string BankText(const flash::FlashBank& bank) {
  char line[64];
  std::snprintf(line, sizeof line, "flash 0x%08x 0x%08x ", bank.base, bank.size);
  std::string text = line + bank.identity + "\n";
  for (const flash::EraseRegion& region : bank.regions) {
    std::snprintf(line, sizeof line, "  0x%08x %u x 0x%x\n", region.address, region.blocks, region.blockSize);
    text += line;
  }
  return text;
}

}  // namespace

std::optional<uint32_t> ParseFlashOption(const std::string& text, std::string* error) {
  const std::string prefix = "cfi@";
  std::optional<uint32_t> address;
  if (text.rfind(prefix, 0) == 0) address = ParseNumber(text.substr(prefix.size()));
  if (!address) *error = "--flash takes cfi@ADDRESS (the chip's start, 0x hex or decimal)";
  return address;
}

void GdbFlash::ProbeConfigured() {
  for (const uint32_t address : configured_) {
    if (banks_.Overlapping(address, 1) != nullptr) continue;
    if (banks_.Probe(address) == nullptr) {
      std::fprintf(stderr, "vantrel: gdbserver: flash at 0x%08x: %s\n", address, banks_.Error().c_str());
    }
  }
}

// Everything that is no flash bank is RAM to GDB, as it was without a memory map.
std::vector<MapArea> GdbFlash::Areas() const {
  std::vector<MapArea> areas;
  for (const flash::FlashBank* bank : banks_.Banks()) {
    for (const flash::EraseRegion& region : bank->regions) {
      const uint64_t length = uint64_t{region.blockSize} * region.blocks;
      areas.push_back({region.address, region.address + length, MapArea::Kind::kFlash, region.blockSize});
    }
  }
  return areas;
}

// GDB erases whole blocks of the memory map; a range that would take more is refused.
std::string GdbFlash::Erase(const std::string& args) {
  const auto range = HexPair(args, ',');
  if (!range || range->second == 0) return kMalformed;
  const flash::FlashBank* bank = banks_.Overlapping(range->first, range->second);
  if (bank == nullptr) return kNotFlash;
  const std::vector<flash::Sector> sectors = bank->SectorsCovering(range->first, range->second);
  if (sectors.empty() || sectors.front().address != range->first ||
      uint64_t{sectors.back().End()} != uint64_t{range->first} + range->second) {
    std::fprintf(stderr, "vantrel: gdbserver: flash erase of 0x%08x+0x%x is not whole sectors\n", range->first,
                 range->second);
    return kFailed;
  }
  std::vector<flash::Sector> erased;
  if (!banks_.Erase(range->first, range->second, &erased)) {
    std::fprintf(stderr, "vantrel: gdbserver: %s\n", banks_.Error().c_str());
    return kFailed;
  }
  return "OK";
}

std::string GdbFlash::Write(const std::string& args) {
  const size_t colon = args.find(':');
  if (colon == std::string::npos) return kMalformed;
  const auto address = ParseHex32(args.substr(0, colon));
  const auto data = Unescape(std::string_view(args).substr(colon + 1));
  if (!address || !data) return kMalformed;
  if (data->empty()) return "OK";
  const flash::FlashBank* bank = banks_.Overlapping(*address, data->size());
  if (bank == nullptr || !bank->Contains(*address) || *address + uint64_t{data->size()} > bank->End()) {
    return kNotFlash;
  }
  size_t pendingBytes = data->size();
  for (const flash::Piece& piece : pending_) pendingBytes += piece.bytes.size();
  if (pendingBytes > kMostPendingBytes) return kFailed;
  // Consecutive packets make one piece, programmed at vFlashDone.
  if (!pending_.empty() && pending_.back().address + pending_.back().bytes.size() == *address) {
    pending_.back().bytes.insert(pending_.back().bytes.end(), data->begin(), data->end());
  } else {
    pending_.push_back({*address, flash::Bytes(data->begin(), data->end())});
  }
  return "OK";
}

std::string GdbFlash::Done() {
  std::vector<flash::Piece> pieces;
  pieces.swap(pending_);
  // An odd end takes the byte the flash holds beside it, which programs nothing.
  for (flash::Piece& piece : pieces) {
    flash::Bytes beside;
    if ((piece.address & 1) != 0) {
      if (!banks_.link().Read(piece.address - 1, 1, &beside)) return kFailed;
      piece.address -= 1;
      piece.bytes.insert(piece.bytes.begin(), beside[0]);
    }
    if ((piece.bytes.size() & 1) != 0) {
      if (!banks_.link().Read(piece.address + static_cast<uint32_t>(piece.bytes.size()), 1, &beside)) return kFailed;
      piece.bytes.push_back(beside[0]);
    }
  }
  if (!banks_.ProgramErased(pieces)) {
    std::fprintf(stderr, "vantrel: gdbserver: %s\n", banks_.Error().c_str());
    return kFailed;
  }
  return "OK";
}

std::string GdbFlash::Monitor(const std::vector<std::string>& words) {
  if (words.size() == 3 && words[1] == "probe") {
    const auto address = ParseNumber(words[2]);
    if (!address) return "usage: monitor flash probe ADDRESS\n";
    const flash::FlashBank* bank = banks_.Probe(*address);
    if (bank == nullptr) return "flash probe failed: " + banks_.Error() + "\n";
    return BankText(*bank) + "GDB reads the memory map when it connects: reconnect to use it\n";
  }
  if (words.size() == 2 && words[1] == "info") {
    if (banks_.Empty()) return "no flash bank probed (monitor flash probe ADDRESS)\n";
    std::string text;
    for (const flash::FlashBank* bank : banks_.Banks()) text += BankText(*bank);
    return text;
  }
  return "usage: monitor flash probe ADDRESS | monitor flash info\n";
}

}  // namespace vantrel::gdb
