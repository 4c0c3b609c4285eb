#include "memory_cache.h"

#include <algorithm>

namespace vantrel::gdb {

bool MemoryCache::Known(uint64_t address) const {
  const auto found = blocks_.find(BlockOf(address));
  return found != blocks_.end() && found->second.known[address - found->first];
}

uint64_t MemoryCache::FirstUnknown(uint64_t address, uint64_t end) const {
  while (address < end && Known(address)) ++address;
  return address;
}

uint64_t MemoryCache::EndOfUnknown(uint64_t address, uint64_t end) const {
  while (end > address && Known(end - 1)) --end;
  return end;
}

void MemoryCache::Store(uint64_t address, const unsigned char* bytes, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    const uint64_t at = address + i;
    Block& block = blocks_[BlockOf(at)];
    if (block.bytes.empty()) {
      block.bytes.assign(blockBytes_, 0);
      block.known.assign(blockBytes_, false);
    }
    block.bytes[at % blockBytes_] = bytes[i];
    block.known[at % blockBytes_] = true;
  }
}

bool MemoryCache::Read(uint32_t address, size_t length, unsigned char* out, const std::vector<ReadableWindow>& windows,
                       const Fetch& fetch) {
  const uint64_t end = uint64_t{address} + length;
  uint64_t from = FirstUnknown(address, end);
  if (from < end) {
    uint64_t to = EndOfUnknown(from, end);
    for (const ReadableWindow& window : windows) {
      if (window.start <= address && end <= window.end) {
        from = std::max(BlockOf(from), window.start);
        to = std::min(BlockOf(to + blockBytes_ - 1), window.end);
        break;
      }
    }
    std::vector<unsigned char> fetched(static_cast<size_t>(to - from));
    if (!fetch(static_cast<uint32_t>(from), fetched.size(), fetched.data())) return false;
    Store(from, fetched.data(), fetched.size());
  }
  for (size_t i = 0; i < length; ++i) {
    const uint64_t at = uint64_t{address} + i;
    out[i] = blocks_.at(BlockOf(at)).bytes[at % blockBytes_];
  }
  return true;
}

void MemoryCache::Drop(uint32_t address, size_t length) {
  if (length == 0) return;
  const uint64_t last = uint64_t{address} + length - 1;
  blocks_.erase(blocks_.lower_bound(BlockOf(address)), blocks_.upper_bound(BlockOf(last)));
}

}  // namespace vantrel::gdb
