// The two buses through which the interpreter reaches the outside world: the memory
// bus at system speed (watched by the EmbeddedICE comparators) and the scan-chain bus
// at debug speed (loads take the words chain 1 delivered, stores are captured).
#pragma once

#include <cstdint>

#include "board/core.h"

namespace vsim {

// Data-bus lanes that an access of size bytes at address drives.
uint32_t LaneMask(uint32_t address, int size, Endianness order);
// A sub-word value as it appears on the bus: repeated in every lane.
uint32_t Replicate(uint32_t value, int size);
// The value that a load of size bytes at address takes from a bus word.
uint32_t ExtractLane(uint32_t word, uint32_t address, int size, Endianness order);

class SystemBus final : public Bus {
 public:
  explicit SystemBus(Core& core) : core_(core) {}
  bool Read(uint32_t address, int size, AccessKind kind, bool privileged, uint32_t& value) override;
  bool Write(uint32_t address, int size, uint32_t value, bool privileged) override;
  bool CoprocessorRead(int cp, int opc1, int crn, int crm, int opc2, uint32_t& value) override;
  bool CoprocessorWrite(int cp, int opc1, int crn, int crm, int opc2, uint32_t value) override;

 private:
  void Watch(uint32_t address, int size, uint32_t busWord, bool write, bool privileged);
  Core& core_;
};

class DebugBus final : public Bus {
 public:
  DebugBus(Core& core, const uint32_t* loads, int loadCount) : core_(core), loads_(loads), loadCount_(loadCount) {}
  bool Read(uint32_t address, int size, AccessKind kind, bool privileged, uint32_t& value) override;
  bool Write(uint32_t address, int size, uint32_t value, bool privileged) override;
  bool CoprocessorRead(int cp, int opc1, int crn, int crm, int opc2, uint32_t& value) override;
  bool CoprocessorWrite(int cp, int opc1, int crn, int crm, int opc2, uint32_t value) override;
  int Stores() const { return storeCount_; }

 private:
  Core& core_;
  const uint32_t* loads_;
  int loadCount_;
  int nextLoad_ = 0;
  int storeCount_ = 0;
};

// The comms channel as MRC/MCR p14 reach it.
bool CommsRead(EmbeddedIce& ice, int cp, int opc1, int crn, int crm, int opc2, uint32_t& value);
bool CommsWrite(EmbeddedIce& ice, int cp, int opc1, int crn, int crm, int opc2, uint32_t value);

}  // namespace vsim
