// Spotting a running core that spins on the comms channel's control word.
//
// A debugger's download loop waits for each word in a loop like
//     wait: MRC p14, 0, r3, c0, c0 ; TST r3, #1 ; BEQ wait
// and spends nearly all of its instructions there: a TCK gives the core several, and a
// word takes dozens of TCKs. While nothing outside the core moves (no TAP edge, no
// host), such an iteration changes nothing: it starts and ends in the same processor
// state, and its only access, the read of the control word, has no side effect. Every
// later iteration of the same run is then the same, so the board can count them
// instead of interpreting them.
//
// The watch sees one run of the core (Forget at its start). An iteration is the code
// from a backward branch's target to the next backward branch to it. It repeats when
// it was straight (no other branch taken, no exception), read the control word,
// touched nothing else (no memory data access, no other coprocessor access, no
// watchpoint match), and ended in exactly the state the iteration before it ended in.
#pragma once

#include <cstdint>

#include "cpu/arm_cpu.h"

namespace vsim {

// One iteration of a loop that repeats: what each further one costs.
struct Iteration {
  uint64_t instructions = 0;
  uint64_t busTicks = 0;  // the memory's ticks: its fetches
};

class PollLoopWatch {
 public:
  // A run starts: what the core did before may have seen another world.
  void Forget() {
    headValid_ = false;
    haveSnapshot_ = false;
    polled_ = false;
    disturbed_ = false;
  }
  // The core read the comms control word.
  void NotePoll() { polled_ = true; }
  // Anything else that could change the world or the core's path.
  void NoteDisturbance() { disturbed_ = true; }

  // A branch taken back to target (at or before the branch itself), with the state it
  // leaves and the running totals. Returns the iteration that just ended when it
  // repeats the one before; instructions 0 otherwise.
  Iteration BranchedBack(uint32_t target, const ArmCpu& cpu, uint64_t instructions, uint64_t busTicks) {
    Iteration repeating;
    const bool pure = headValid_ && target == head_ && polled_ && !disturbed_;
    if (pure && haveSnapshot_ && cpu == snapshot_) {
      repeating = {instructions - instructionsAtSnapshot_, busTicks - ticksAtSnapshot_};
    } else if (pure) {
      snapshot_ = cpu;
      haveSnapshot_ = true;
    } else {
      haveSnapshot_ = false;
    }
    head_ = target;
    headValid_ = true;
    instructionsAtSnapshot_ = instructions;
    ticksAtSnapshot_ = busTicks;
    polled_ = false;
    disturbed_ = false;
    return repeating;
  }

 private:
  uint32_t head_ = 0;
  bool headValid_ = false;
  bool haveSnapshot_ = false;
  bool polled_ = false;
  bool disturbed_ = false;
  ArmCpu snapshot_;
  uint64_t instructionsAtSnapshot_ = 0;
  uint64_t ticksAtSnapshot_ = 0;
};

}  // namespace vsim
