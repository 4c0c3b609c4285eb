// The ARM barrel shifter and the adder's flag rules, as pure functions shared by the
// ARM and Thumb paths.
#pragma once

#include <cstdint>

namespace vsim::cpu {

struct Shifted {
  uint32_t value;
  bool carry;
};

enum ShiftType : uint32_t { kLsl = 0, kLsr = 1, kAsr = 2, kRor = 3 };

inline uint32_t RotateRight(uint32_t value, uint32_t amount) {
  amount &= 31u;
  return amount == 0 ? value : (value >> amount) | (value << (32u - amount));
}

// Shift by an immediate field (0-31) as encoded: LSR/ASR #0 mean 32, ROR #0 means RRX.
inline Shifted ShiftByImmediate(uint32_t value, uint32_t type, uint32_t amount, bool carryIn) {
  switch (type) {
    case kLsl:
      if (amount == 0) return {value, carryIn};
      return {value << amount, ((value >> (32u - amount)) & 1u) != 0};
    case kLsr:
      if (amount == 0) return {0, (value >> 31) != 0};
      return {value >> amount, ((value >> (amount - 1u)) & 1u) != 0};
    case kAsr: {
      const auto sign = static_cast<int32_t>(value);
      if (amount == 0) return {static_cast<uint32_t>(sign >> 31), (value >> 31) != 0};
      return {static_cast<uint32_t>(sign >> amount), ((value >> (amount - 1u)) & 1u) != 0};
    }
    default:
      if (amount == 0) return {(carryIn ? 0x80000000u : 0u) | (value >> 1), (value & 1u) != 0};
      return {RotateRight(value, amount), ((value >> (amount - 1u)) & 1u) != 0};
  }
}

// Shift by the bottom byte of a register: 0 leaves value and carry alone, and amounts of
// 32 and beyond have their own results.
inline Shifted ShiftByRegister(uint32_t value, uint32_t type, uint32_t amount, bool carryIn) {
  amount &= 0xFFu;
  if (amount == 0) return {value, carryIn};
  switch (type) {
    case kLsl:
      if (amount < 32) return ShiftByImmediate(value, kLsl, amount, carryIn);
      return {0, amount == 32 && (value & 1u) != 0};
    case kLsr:
      if (amount < 32) return ShiftByImmediate(value, kLsr, amount, carryIn);
      return {0, amount == 32 && (value >> 31) != 0};
    case kAsr:
      if (amount < 32) return ShiftByImmediate(value, kAsr, amount, carryIn);
      return ShiftByImmediate(value, kAsr, 0, carryIn);
    default:
      if ((amount & 31u) == 0) return {value, (value >> 31) != 0};
      return ShiftByImmediate(value, kRor, amount & 31u, carryIn);
  }
}

struct AddResult {
  uint32_t value;
  bool carry;
  bool overflow;
};

// a + b + carryIn with the carry out of bit 31 and signed overflow; subtraction is
// a + ~b + 1, so its carry is "no borrow".
inline AddResult AddWithCarry(uint32_t a, uint32_t b, bool carryIn) {
  const uint64_t wide = uint64_t{a} + uint64_t{b} + (carryIn ? 1u : 0u);
  const auto value = static_cast<uint32_t>(wide);
  return {value, (wide >> 32) != 0, (((a ^ value) & (b ^ value)) >> 31) != 0};
}

}  // namespace vsim::cpu
