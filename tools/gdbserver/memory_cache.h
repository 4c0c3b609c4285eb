// Target memory as read while the core stays halted. GDB asks for the same few words
// many times after each stop (the instruction under the PC, the frame, the stack), and
// each small read has a fixed cost on the cable; so what was read once is served again
// until anything may have changed it, and a read that must go to the target fetches a
// whole aligned block where that is known to be harmless.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace vantrel::gdb {

// Addresses a read may be widened into: [start, end).
struct ReadableWindow {
  uint64_t start = 0;
  uint64_t end = 0;
};

class MemoryCache {
 public:
  // Reads [address, address + length) from the target into out; false when it failed.
  using Fetch = std::function<bool(uint32_t address, size_t length, unsigned char* out)>;

  explicit MemoryCache(uint32_t blockBytes) : blockBytes_(blockBytes) {}

  // The bytes of [address, address + length): cached ones as they are, the rest fetched
  // in one read, widened to whole blocks only inside the one window (of windows) that
  // holds the whole request, so a widened read never touches memory the exact read
  // would not have touched outside the memory the host declared readable.
  bool Read(uint32_t address, size_t length, unsigned char* out, const std::vector<ReadableWindow>& windows,
            const Fetch& fetch);
  // Everything forgotten: the core ran, was reset, or something else may have changed memory.
  void Drop() { blocks_.clear(); }
  // The blocks that overlap [address, address + length) forgotten: a write went there.
  void Drop(uint32_t address, size_t length);

 private:
  struct Block {
    std::vector<unsigned char> bytes;
    std::vector<bool> known;
  };
  // The first byte of [address, end) not cached, or end.
  uint64_t FirstUnknown(uint64_t address, uint64_t end) const;
  // The last byte of [address, end) not cached, plus one; or address.
  uint64_t EndOfUnknown(uint64_t address, uint64_t end) const;
  bool Known(uint64_t address) const;
  void Store(uint64_t address, const unsigned char* bytes, size_t length);
  uint64_t BlockOf(uint64_t address) const { return address - address % blockBytes_; }

  uint32_t blockBytes_;
  std::map<uint64_t, Block> blocks_;
};

}  // namespace vantrel::gdb
