// A RAM bus that logs every access and can make chosen addresses abort, for tests
// that check the order and number of a word's bus cycles.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "cpu/ram_bus.h"

namespace vsim::testing {

struct Access {
  enum Kind : uint8_t { kFetch, kRead, kWrite } kind;
  uint32_t address;
  int size;
  uint32_t value;
  bool privileged;
  bool operator==(const Access&) const = default;
};

class RecordingBus : public RamBus {
 public:
  RecordingBus() : RamBus(0, 0x10000) {}

  bool Read(uint32_t address, int size, AccessKind kind, bool privileged, uint32_t& value) override {
    const bool ok = aborting.count(address) == 0 && RamBus::Read(address, size, kind, privileged, value);
    log.push_back(
        {kind == AccessKind::kFetch ? Access::kFetch : Access::kRead, address, size, ok ? value : 0, privileged});
    return ok;
  }
  bool Write(uint32_t address, int size, uint32_t value, bool privileged) override {
    log.push_back({Access::kWrite, address, size, value, privileged});
    return aborting.count(address) == 0 && RamBus::Write(address, size, value, privileged);
  }
  bool CoprocessorRead(int cp, int opc1, int crn, int crm, int opc2, uint32_t& value) override {
    if (cp != 14 || opc1 != 0 || crn != 1 || crm != 0 || opc2 != 0) return false;
    value = coprocessorValue;
    return true;
  }
  bool CoprocessorWrite(int cp, int opc1, int crn, int crm, int opc2, uint32_t value) override {
    if (cp != 14 || opc1 != 0 || crn != 1 || crm != 0 || opc2 != 0) return false;
    coprocessorValue = value;
    return true;
  }

  std::vector<Access> log;
  std::set<uint32_t> aborting;
  uint32_t coprocessorValue = 0;
};

}  // namespace vsim::testing
