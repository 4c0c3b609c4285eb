#include "target/checksum_verify.h"

#include <array>
#include <cstddef>

#include "target/memory_map.h"
#include "target/target_layer_state.h"
#include "target/target_state.h"
#include "target/work_area.h"

namespace vantrel::target {
namespace {

constexpr uint32_t kCrcPolynomial = 0xEDB88320;
constexpr uint32_t kCrcStart = 0xFFFFFFFF;
constexpr int kBitsPerByte = 8;
constexpr std::size_t kByteValues = 256;

constexpr std::array<uint32_t, kByteValues> BuildCrcTable() {
  std::array<uint32_t, kByteValues> table{};
  for (uint32_t value = 0; value < kByteValues; ++value) {
    uint32_t crc = value;
    for (int bit = 0; bit < kBitsPerByte; ++bit) crc = (crc >> 1) ^ ((crc & 1) != 0 ? kCrcPolynomial : 0);
    table[value] = crc;
  }
  return table;
}
constexpr std::array<uint32_t, kByteValues> kCrcTable = BuildCrcTable();

}  // namespace

uint32_t Crc32(const uint8_t* bytes, std::size_t length) {
  uint32_t crc = kCrcStart;
  for (std::size_t i = 0; i < length; ++i) crc = (crc >> kBitsPerByte) ^ kCrcTable[(crc ^ bytes[i]) & 0xFF];
  return ~crc;
}

std::optional<bool> VerifyByChecksum(TargetLayerState& target, uint32_t address, const uint8_t* expected,
                                     int32_t length) {
  core::DebugCore& core = target.Core();
  if (!core.FastSequences() || !CoreHalted(target) || expected == nullptr || length <= 0) return std::nullopt;
  const auto bytes = static_cast<uint32_t>(length);
  // Bytes a write-only region holds read as 0xFF: the reading back compares those.
  if (TouchesRegion(target, address, bytes, kWriteOnlyRegion)) return std::nullopt;
  const std::optional<uint32_t> place = ChecksumLoopPlace(target, address, length);
  if (!place.has_value()) return std::nullopt;
  const auto fastScope = core.FastSequenceScope();
  core.ClearLinkObservations();
  const core::ChecksumRun run = core.ChecksumBytes(*place, address, bytes);
  if (run.outcome != core::ChecksumOutcome::kDone) return std::nullopt;
  return run.crc == Crc32(expected, bytes);
}

}  // namespace vantrel::target
