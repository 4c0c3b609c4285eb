// Erase and program of an Intel command-set chip without a work area: the host makes
// the command cycles with word stores. Each store is two cycles, low halfword first; a
// command and its confirmation (or its data) travel in one store, since the chip takes
// them at any address of the block.
#include <algorithm>
#include <chrono>
#include <thread>

#include "cfi_commands.h"
#include "cfi_driver.h"
#include "poll_limit.h"

namespace vantrel::flash {

namespace {

constexpr uint32_t kHighHalf = 2;
constexpr uint32_t kWordMask = 3;
constexpr uint32_t kWordBytes = 4;
constexpr uint16_t kErrorBits = cfi::kIntelStatusEraseError | cfi::kIntelStatusProgramError |
                                cfi::kIntelStatusVoltageError | cfi::kIntelStatusLocked;
constexpr uint32_t kMarginMs = 2000;
constexpr uint32_t kUnknownBlockEraseMs = 10000;

Bytes Cycles(uint16_t low, uint16_t high) {
  return {static_cast<unsigned char>(low), static_cast<unsigned char>(low >> 8), static_cast<unsigned char>(high),
          static_cast<unsigned char>(high >> 8)};
}

uint16_t HalfAt(const Bytes& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

// Polls the status register until the chip is ready; then read array, and the status
// cleared when it tells of an error.
bool AwaitReady(TargetLink& link, uint32_t address, std::chrono::milliseconds limit, uint16_t* status) {
  PollLimit pollLimit(limit);
  const uint32_t word = address & ~kWordMask;
  for (;;) {
    if (!link.ReadHalfword(address, status)) return false;
    if ((*status & cfi::kIntelStatusReady) != 0) break;
    if (pollLimit.Reached()) return link.Fail("time limit exceeded");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if ((*status & kErrorBits) != 0 && !link.Write(word, Cycles(cfi::kIntelClearStatus, cfi::kIntelReadArray))) {
    return false;
  }
  return link.Write(word, Cycles(cfi::kIntelReadArray, cfi::kIntelReadArray));
}

std::string At(const std::string& what, uint32_t address) {
  char text[32];
  std::snprintf(text, sizeof text, " at 0x%08x", address);
  return what + text;
}

bool StatusFailed(TargetLink& link, uint16_t status, uint32_t address, const char* operation) {
  if ((status & cfi::kIntelStatusLocked) != 0) return link.Fail(At("the sector is locked", address));
  return link.Fail(At(std::string("the chip reported a failed ") + operation, address));
}

}  // namespace

bool CfiDriver::EraseByCycles(const std::vector<Sector>& sectors, size_t* reached) {
  const uint32_t limitMs = (query_.maxBlockEraseMs != 0 ? query_.maxBlockEraseMs : kUnknownBlockEraseMs) + kMarginMs;
  for (const Sector& sector : sectors) {
    ++*reached;
    uint16_t status = 0;
    if (!link_.Write(sector.address, Cycles(cfi::kIntelBlockUnlockSetup, cfi::kIntelConfirm)) ||
        !link_.Write(sector.address, Cycles(cfi::kIntelEraseSetup, cfi::kIntelConfirm)) ||
        !AwaitReady(link_, sector.address, std::chrono::milliseconds(limitMs), &status)) {
      return false;
    }
    if ((status & kErrorBits) != 0) return StatusFailed(link_, status, sector.address, "erase");
  }
  return true;
}

// The setup cycle goes in the high half of another word of the chip, so that the data
// cycle is the next one the chip sees.
bool CfiDriver::ProgramByCycles(uint32_t address, const Bytes& bytes, const ProgressSink& progress) {
  Bytes current;
  if (!link_.Read(address, bytes.size(), &current)) return false;
  const uint32_t wordUs = query_.maxWordProgramUs != 0 ? query_.maxWordProgramUs : 1000;
  const auto limit = std::chrono::milliseconds(wordUs / 1000 + kMarginMs);
  for (size_t offset = 0; offset < bytes.size(); offset += 2) {
    const uint16_t data = HalfAt(bytes, offset);
    const uint16_t now = HalfAt(current, offset);
    const uint32_t at = address + static_cast<uint32_t>(offset);
    if ((data & ~now) != 0) {
      return link_.Fail(At("a bit would have to go from 0 to 1 (the flash is not erased)", at));
    }
    if (data == now) continue;
    const uint32_t word = at & ~kWordMask;
    bool sent = false;
    if ((at & kHighHalf) != 0) {
      sent = link_.Write(word, Cycles(cfi::kIntelProgramSetup, data));
    } else {
      const uint32_t other = word + kWordBytes < bank_.End() ? word + kWordBytes : word - kWordBytes;
      sent = link_.Write(other, Cycles(cfi::kIntelReadArray, cfi::kIntelProgramSetup)) &&
             link_.Write(word, Cycles(data, cfi::kIdleHalf));
    }
    uint16_t status = 0;
    if (!sent || !AwaitReady(link_, at, limit, &status)) return false;
    if ((status & kErrorBits) != 0) return StatusFailed(link_, status, at, "program");
    if (progress && (offset % 256 == 0 || offset + 2 == bytes.size())) progress(offset + 2, bytes.size());
  }
  Bytes back;
  if (!link_.Read(address, bytes.size(), &back)) return false;
  const auto mismatch = std::mismatch(back.begin(), back.end(), bytes.begin());
  if (mismatch.first == back.end()) return true;
  return link_.Fail(At("verify failed: the flash does not hold what was programmed",
                       address + static_cast<uint32_t>(mismatch.first - back.begin())));
}

}  // namespace vantrel::flash
