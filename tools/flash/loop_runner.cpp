#include "loop_runner.h"

#include <cstdio>

namespace vantrel::flash {

namespace {

// The registers the loops use, and the state they run in. The loops run in Supervisor
// mode, so their r8 and r9 are the User mode's, whatever mode the core halted in (a core
// halted in FIQ mode has its own r8 and r9, which the loops leave alone).
const std::vector<std::string> kSavedRegisters = {"r0", "r1", "r2", "r3",     "r4", "r5",
                                                  "r6", "r7", "r8_usr", "r9_usr", "pc", "cpsr"};
constexpr uint32_t kLoopCpsr = 0xD3;  // supervisor mode, IRQ and FIQ off, ARM state
constexpr uint32_t kWordMask = 3;

Bytes WordsAsBytes(const LoopProgram& loop) {
  Bytes bytes;
  for (const uint32_t word : loop.words) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<unsigned char>(word >> shift));
  }
  return bytes;
}

}  // namespace

Bytes LoopInput(std::initializer_list<uint32_t> head, const unsigned char* data, size_t count) {
  Bytes bytes;
  bytes.reserve(head.size() * 4 + count);
  for (const uint32_t word : head) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<unsigned char>(word >> shift));
  }
  if (count != 0) bytes.insert(bytes.end(), data, data + count);
  return bytes;
}

uint32_t LoopRunner::BufferBytes() const { return bufferBytes_; }

bool LoopRunner::Begin(uint32_t need) {
  if ((area_.address & kWordMask) != 0) return link_.Fail("the work area must start on a word boundary");
  const uint32_t room = (area_.size > kLoopAreaBytes ? area_.size - kLoopAreaBytes : 0) & ~kWordMask;
  if (room < kMinBufferBytes) return link_.Fail("the work area is too small for the flash loop");
  const uint32_t wanted = (need + kWordMask) & ~kWordMask;
  bufferBytes_ = wanted < room ? (wanted < kMinBufferBytes ? kMinBufferBytes : wanted) : room;
  bool arm = false;
  if (!link_.HaltedInArmState(&arm)) return false;
  if (!link_.PutBackLeftArea()) return false;
  if (!arm) return link_.Fail("the core halted in Thumb state; the flash loop needs ARM state (reset the target)");
  if (!link_.ReadRegisters(kSavedRegisters, &savedRegisters_)) return false;
  if (!link_.Read(area_.address, kLoopAreaBytes + bufferBytes_, &savedArea_)) return false;
  begun_ = true;
  return true;
}

bool LoopRunner::LoadLoop(const LoopProgram& loop) {
  if (loaded_ == loop.words.data()) return true;
  loaded_ = nullptr;
  if (!link_.Write(area_.address, WordsAsBytes(loop))) return false;
  if (!link_.SetSoftwareBreak(area_.address + loop.haltOffset)) return false;
  loaded_ = loop.words.data();
  loadedWords_ = loop.words.size();
  loadedHalt_ = loop.haltOffset;
  return true;
}

bool LoopRunner::Collect(LoopOutcome* outcome) {
  std::vector<uint32_t> values;
  if (!link_.ReadRegisters({"r0", "r2", "r3", "r9", "pc"}, &values)) return false;
  outcome->r0 = values[0];
  outcome->r2 = values[1];
  outcome->result = static_cast<LoopResult>(values[2]);
  outcome->r9 = values[3];
  if (values[4] != haltAddress_) return link_.Fail("the flash loop stopped at an unexpected place");
  return true;
}

bool LoopRunner::Run(const LoopProgram& loop, const Bytes& input, std::chrono::milliseconds limit,
                     LoopOutcome* outcome) {
  if (!begun_) return link_.Fail("the work area was not prepared");
  if (input.size() > bufferBytes_) return link_.Fail("the flash loop's input does not fit the work area");
  if (!LoadLoop(loop) || !link_.Write(BufferAddress(), input)) return false;
  haltAddress_ = area_.address + loop.haltOffset;
  // The loops keep the mode: once set, the CPSR stays theirs until Finish.
  if (!stateSet_ && !link_.WriteRegister("cpsr", kLoopCpsr)) return false;
  stateSet_ = true;
  if (!link_.WriteRegister("pc", area_.address)) return false;
  if (!link_.Run()) return false;
  const bool halted = link_.WaitForHalt(limit);
  const std::string waitError = link_.Error();
  if (!link_.Stop()) return false;
  if (!halted) return link_.Fail(waitError);
  return Collect(outcome);
}

bool LoopRunner::Finish() {
  if (!begun_) return true;
  begun_ = false;
  const uint32_t* loaded = loaded_;
  loaded_ = nullptr;
  if (!link_.Write(area_.address, savedArea_)) {
    const std::string error = link_.Error();
    // A loop whose load broke off left words nobody knows: the area goes back whatever it holds.
    Bytes left = loaded != nullptr ? WordsAsBytes(LoopProgram{{loaded, loadedWords_}, 0}) : Bytes{};
    link_.LeaveArea({area_.address, savedArea_, std::move(left), loadedHalt_});
    char where[96];
    std::snprintf(where, sizeof where, "; the work area at 0x%08x goes back at the next flash command", area_.address);
    return link_.Fail(error + where);
  }
  stateSet_ = false;
  // Only the registers a loop changed: each write costs the cable a sequence.
  std::vector<uint32_t> now;
  const bool known = link_.ReadRegisters(kSavedRegisters, &now) && now.size() == savedRegisters_.size();
  bool ok = true;
  for (size_t i = 0; i < kSavedRegisters.size() && i < savedRegisters_.size(); ++i) {
    if (known && now[i] == savedRegisters_[i]) continue;
    ok = link_.WriteRegister(kSavedRegisters[i], savedRegisters_[i]) && ok;
  }
  return ok;
}

}  // namespace vantrel::flash
