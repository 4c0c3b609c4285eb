// A port between the library and the simulated board that lets a fault strike after a
// given number of accesses: the cable pulled out (every read 0xFF, writes lost), the
// target's power gone (both sense lines bad) or a core that no longer halts.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "vantrel_port.h"

namespace vantrel::e2e {

enum class Fault { kUnplug, kPowerLoss, kNoHalt };

// Forwards to the board until the fault strikes after a given number of accesses.
class FaultPort {
 public:
  void Attach(vsim::Board& board) {
    board_ = &board;
    io_ = board.PortIo();
  }
  VantrelPortIo Io() {
    return {this, [](void*) { return 0; }, &Read, &Write};
  }

  void Arm(Fault fault, uint64_t afterAccesses) {
    fault_ = fault;
    remaining_ = afterAccesses;
    armed_ = true;
    struck_ = false;
  }
  void Count() {
    armed_ = false;
    accesses_ = 0;
  }
  // The fault gone: the cable back in, the power back, the core's debug logic back.
  void Heal() {
    armed_ = false;
    struck_ = false;
    board_->SetCoreNeverHalts(false);
  }
  uint64_t Accesses() const { return accesses_; }
  bool Struck() const { return struck_; }

 private:
  static constexpr uint8_t kUnplugged = 0xFF;
  static constexpr uint8_t kSenseLinesBad = 0x60;

  void Tick() {
    ++accesses_;
    if (!armed_ || struck_) return;
    if (remaining_ > 0) {
      --remaining_;
      return;
    }
    struck_ = true;
    if (fault_ == Fault::kNoHalt) board_->SetCoreNeverHalts(true);
  }
  static unsigned char Read(void* context, unsigned short port) {
    auto* self = static_cast<FaultPort*>(context);
    self->Tick();
    if (self->struck_ && self->fault_ == Fault::kUnplug) return kUnplugged;
    const unsigned char value = self->io_.read(self->io_.context, port);
    if (self->struck_ && self->fault_ == Fault::kPowerLoss) return value | kSenseLinesBad;
    return value;
  }
  static void Write(void* context, unsigned short port, unsigned char value) {
    auto* self = static_cast<FaultPort*>(context);
    self->Tick();
    if (self->struck_ && self->fault_ == Fault::kUnplug) return;
    self->io_.write(self->io_.context, port, value);
  }

  vsim::Board* board_ = nullptr;
  VantrelPortIo io_{};
  Fault fault_ = Fault::kUnplug;
  bool armed_ = false;
  bool struck_ = false;
  uint64_t remaining_ = 0;
  uint64_t accesses_ = 0;
};

}  // namespace vantrel::e2e
