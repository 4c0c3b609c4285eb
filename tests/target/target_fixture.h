// The target-control layer on a recording port with a scripted core behind the cable:
// the cable found, the TAP in Run-Test/Idle, the log cleared, so that each test sees
// only the traffic of the operation under test. RegisterOps() reads that traffic back as
// register reads and writes.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/scripted_cable_test.h"
#include "target/target_layer_state.h"
#include "target/target_state.h"

namespace vantrel::test {

// One line per register access of the core, from the chain-1 words:
//   "read r5", "read cpsr", "write r3=00000010", "write cpsr=600000D3", "inject E1A00000".
inline std::vector<std::string> RegisterOps(const std::vector<Chain1Transfer>& t) {
  constexpr uint32_t kSubPc16 = 0xE24FF010;
  constexpr uint32_t kStmdaR0R0 = 0xE8000001;
  constexpr uint32_t kLdmiaR0R0 = 0xE8900001;
  constexpr uint32_t kMrsCpsr = 0xE10F0000, kMrsSpsr = 0xE14F0000;
  constexpr uint32_t kMsrCpsr = 0xE12FF000, kMsrSpsr = 0xE16FF000;
  const auto single = [](uint32_t word, uint32_t base) -> int {
    if ((word & 0xFFFF0000u) != base) return -1;
    for (int i = 0; i < 16; ++i) {
      if ((word & 0xFFFFu) == (1u << i)) return i;
    }
    return -1;
  };
  std::vector<std::string> ops;
  char line[64];
  std::size_t i = 0;
  const auto at = [&](std::size_t k) { return i + k < t.size() ? t[i + k].word : 0u; };
  while (i < t.size()) {
    const uint32_t w = t[i].word;
    if (w == kSubPc16 && single(at(3), 0xE8000000u) >= 0) {  // SUB pc, pc, #16 ... STMDA r0, {rN}
      std::snprintf(line, sizeof line, "read r%d", single(at(3), 0xE8000000u));
      i += 10;
    } else if (w == kStmdaR0R0 && (at(4) == kMrsCpsr || at(4) == kMrsSpsr)) {
      std::snprintf(line, sizeof line, "read %s", at(4) == kMrsCpsr ? "cpsr" : "spsr");
      i += 19;
    } else if (w == kLdmiaR0R0 && (at(5) == kMsrCpsr || at(5) == kMsrSpsr)) {
      std::snprintf(line, sizeof line, "write %s=%08X", at(5) == kMsrCpsr ? "cpsr" : "spsr", at(3));
      i += 13;
    } else if (single(w, 0xE8900000u) >= 0) {  // LDMIA r0, {rN}
      std::snprintf(line, sizeof line, "write r%d=%08X", single(w, 0xE8900000u), at(3));
      i += 8;
    } else {
      std::snprintf(line, sizeof line, "inject %08X", w);
      i += 1;
    }
    ops.emplace_back(line);
  }
  return ops;
}

class TargetTest : public ScriptedCableTest {
 protected:
  target::TargetLayerState& Target() { return session_.Target(); }

  // Values that the scripted core stores from now on, in the order of the store
  // instructions; then 0.
  void ScriptStores(std::vector<uint32_t> values) {
    target_.SetStoreSource([values = std::move(values), first = -1](int store, int) mutable {
      if (first < 0) first = store;
      const int k = store - first;
      return k < static_cast<int>(values.size()) ? values[static_cast<std::size_t>(k)] : 0u;
    });
  }

  // The scripted core comes back into debug state after every system-speed access, in
  // the mode it halted in (the register cache's CPSR), as a sound memory transfer finds it.
  void CoreBackAfterEachAccess() {
    target_.SetIceRegister(1, 0x09);
    target_.SetCpsr(arm7::RegisterCache(session_.Core())[16]);
  }

  std::vector<std::string> Ops() const { return RegisterOps(Chain1Transfers(DecodeTap(port_))); }
  bool NoPortAccess() const { return port_.Log().empty(); }
};

}  // namespace vantrel::test
