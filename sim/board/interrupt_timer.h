// A periodic timer on the board: every period instructions that the core executes at
// system speed it raises its interrupt line (IRQ or FIQ) and holds it until the firmware
// acknowledges. The core sees the line only while the debugger has not disabled
// interrupts (the debug control's INTDIS) and the CPSR's I or F bit lets it.
#pragma once

#include <cstdint>
#include <string>

namespace vsim {

enum class InterruptLine : uint8_t { kIrq, kFiq };

struct TimerConfig {
  uint32_t period = 0;  // instructions between two interrupts; 0: no timer
  InterruptLine line = InterruptLine::kIrq;
};

// A write of any value here acknowledges the timer's interrupt; a read gives 1 while it
// is pending. The address lies outside every memory region a board may declare usefully.
inline constexpr uint32_t kTimerAcknowledgeAddress = 0xE0000000;

// Parses "PERIOD[:irq|fiq]" (period 1 to 1e9). Returns "" or what is wrong with text.
std::string ParseTimerOption(const std::string& text, TimerConfig* config);

class InterruptTimer {
 public:
  void Configure(const TimerConfig& config);
  // One instruction executed at system speed.
  void Tick();
  void Acknowledge() { pending_ = false; }
  bool Pending() const { return pending_; }
  bool Enabled() const { return config_.period != 0; }
  InterruptLine Line() const { return config_.line; }

 private:
  TimerConfig config_;
  uint32_t count_ = 0;
  bool pending_ = false;
};

}  // namespace vsim
