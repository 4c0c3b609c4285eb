// Runs the flash loops on the halted core from a borrowed work area. The area's bytes
// and the registers the loops change are saved when the runner starts and put back when
// it ends, whatever became of the loops.
#pragma once

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "loop_programs.h"
#include "target_link.h"
#include "work_area.h"

namespace vantrel::flash {

struct LoopOutcome {
  LoopResult result = LoopResult::kDone;
  uint32_t r0 = 0;
  uint32_t r2 = 0;
  uint32_t r9 = 0;
};

class LoopRunner {
 public:
  LoopRunner(TargetLink& link, WorkArea area) : link_(link), area_(area) {}
  ~LoopRunner() { (void)Finish(); }
  LoopRunner(const LoopRunner&) = delete;
  LoopRunner& operator=(const LoopRunner&) = delete;

  // False with the link's error when the area is too small, the core is not halted in
  // ARM state, or the area cannot be read.
  // need: the most buffer bytes the caller will use, head included; only that much is saved.
  bool Begin(uint32_t need);
  // Where the loops' head and data go, and how many bytes fit.
  uint32_t BufferAddress() const { return area_.address + kLoopAreaBytes; }
  uint32_t BufferBytes() const;
  // Loads the loop (unless it is there already), puts input (the loop's head and its
  // data, see LoopInput) into the buffer, runs the loop and waits at most limit for its
  // halt. A core that does not halt in time is stopped.
  bool Run(const LoopProgram& loop, const Bytes& input, std::chrono::milliseconds limit, LoopOutcome* outcome);
  // The area and the registers put back; false when that failed (the link's error).
  bool Finish();

 private:
  bool LoadLoop(const LoopProgram& loop);
  bool Collect(LoopOutcome* outcome);

  TargetLink& link_;
  WorkArea area_;
  uint32_t bufferBytes_ = 0;
  bool begun_ = false;
  const uint32_t* loaded_ = nullptr;  // the loop in the area now
  size_t loadedWords_ = 0;
  uint32_t haltAddress_ = 0;
  uint32_t loadedHalt_ = 0;  // the loaded loop's breakpoint, from the area's start
  bool stateSet_ = false;    // the CPSR the loops run with, written at the first run
  Bytes savedArea_;
  std::vector<uint32_t> savedRegisters_;
};

// A loop's input: its head, the words in the loop's order, then count bytes of data.
Bytes LoopInput(std::initializer_list<uint32_t> head, const unsigned char* data = nullptr, size_t count = 0);

// The smallest buffer worth a work area.
inline constexpr uint32_t kMinBufferBytes = 64;

}  // namespace vantrel::flash
