#include "loop_runner.h"

#include <cstdio>

namespace vantrel::flash {

namespace {

// The registers the loops use, and the state they run in.
const std::vector<std::string> kSavedRegisters = {"r0", "r1", "r2", "r3", "r4", "r5",
                                                  "r6", "r7", "r8", "r9", "pc", "cpsr"};
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

bool LoopRunner::Run(const LoopProgram& loop, const std::map<std::string, uint32_t>& registers,
                     std::chrono::milliseconds limit, LoopOutcome* outcome) {
  if (!begun_) return link_.Fail("the work area was not prepared");
  if (!LoadLoop(loop)) return false;
  haltAddress_ = area_.address + loop.haltOffset;
  for (const auto& [name, value] : registers) {
    if (!link_.WriteRegister(name, value)) return false;
  }
  if (!link_.WriteRegister("cpsr", kLoopCpsr) || !link_.WriteRegister("pc", area_.address)) return false;
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
  bool ok = true;
  for (size_t i = 0; i < kSavedRegisters.size() && i < savedRegisters_.size(); ++i) {
    ok = link_.WriteRegister(kSavedRegisters[i], savedRegisters_[i]) && ok;
  }
  return ok;
}

}  // namespace vantrel::flash
