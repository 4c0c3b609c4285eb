#include "target_link.h"

#include <algorithm>
#include <thread>

#include "poll_limit.h"
#include "registers_by_name.h"
#include "run_control.h"
#include "software_breakpoints.h"
#include "target_status.h"

namespace vantrel::flash {

namespace {

constexpr auto kHaltPoll = std::chrono::milliseconds(1);

}  // namespace

bool TargetLink::Fail(const std::string& message) {
  error_ = message;
  return false;
}

bool TargetLink::Check(const client::Answer& answer, const char* what) {
  if (answer.Ok()) return true;
  return Fail(std::string(what) + ": " + answer.Reason());
}

bool TargetLink::Transferred(const client::TransferResult& result, const char* what) {
  switch (result.end) {
    case client::TransferEnd::kDone: return true;
    case client::TransferEnd::kRefused: return Check(result.answer, what);
    default: return Fail(std::string(what) + " failed (job result " + std::to_string(result.jobResult) + ")");
  }
}

bool TargetLink::Read(uint32_t address, size_t length, Bytes* bytes) {
  bytes->assign(length, 0);
  if (length == 0) return true;
  return Transferred(client::ReadMemory(library_, address, bytes->data(), length), "read");
}

bool TargetLink::Write(uint32_t address, const Bytes& bytes) {
  if (bytes.empty()) return true;
  return Transferred(client::WriteMemory(library_, address, bytes.data(), bytes.size(), false), "write");
}

bool TargetLink::ReadHalfword(uint32_t address, uint16_t* value) {
  Bytes bytes;
  if (!Read(address, 2, &bytes)) return false;
  *value = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
  return true;
}

bool TargetLink::ReadWord(uint32_t address, uint32_t* value) {
  Bytes bytes;
  if (!Read(address, 4, &bytes)) return false;
  *value = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  return true;
}

bool TargetLink::ReadRegisters(const std::vector<std::string>& names, std::vector<uint32_t>* values) {
  const client::Answer answer = client::ReadRegistersByName(library_, names);
  if (!Check(answer, "read registers")) return false;
  if (answer.data.size() < names.size() * 4) return Fail("read registers: a short answer");
  values->clear();
  for (size_t i = 0; i < names.size(); ++i) values->push_back(answer.Word(i));
  return true;
}

bool TargetLink::WriteRegister(const std::string& name, uint32_t value) {
  return Check(client::WriteRegisterByName(library_, name, value), "write register");
}

bool TargetLink::SetSoftwareBreak(uint32_t address) {
  return Check(client::SetSoftwareBreak(library_, address), "breakpoint");
}

bool TargetLink::Run() { return Check(client::Run(library_), "run"); }

bool TargetLink::Stop() { return Check(client::Stop(library_), "stop"); }

bool TargetLink::WaitForHalt(std::chrono::milliseconds limit) {
  PollLimit pollLimit(limit);
  for (;;) {
    const client::TargetStatus status = client::ReadTargetStatus(library_);
    if (!status.answered) return Fail("the status query failed (" + std::to_string(status.word) + ")");
    if (!status.Running()) return Fail("the target no longer runs the flash loop");
    if (status.inDebugState) return true;
    if (pollLimit.Reached()) return Fail("time limit exceeded");
    std::this_thread::sleep_for(kHaltPoll);
  }
}

namespace {

// The word with the halting breakpoint holds the library's pattern, not the loop's word.
bool SameButTheBreakpoint(const Bytes& now, const TargetLink::LeftArea& area) {
  constexpr size_t kWordBytes = 4;
  if (now.size() != area.left.size()) return false;
  for (size_t i = 0; i < now.size(); ++i) {
    const bool planted = i >= area.breakOffset && i < area.breakOffset + kWordBytes;
    if (!planted && now[i] != area.left[i]) return false;
  }
  return true;
}

}  // namespace

bool TargetLink::PutBackLeftArea() {
  if (!leftArea_) return true;
  Bytes now;
  const size_t compared = leftArea_->left.empty() ? 0 : leftArea_->left.size();
  if (compared != 0 && !Read(leftArea_->address, compared, &now)) return false;
  // Something newer than the loop is there: it stays.
  const Bytes& saved = leftArea_->saved;
  const bool partlyPutBack = now.size() <= saved.size() && std::equal(now.begin(), now.end(), saved.begin());
  const bool ours = leftArea_->left.empty() || SameButTheBreakpoint(now, *leftArea_) || partlyPutBack;
  if (ours && !Write(leftArea_->address, saved)) return false;
  leftArea_.reset();
  return true;
}

bool TargetLink::HaltedInArmState(bool* arm) {
  const client::TargetStatus status = client::ReadTargetStatus(library_);
  if (!status.answered || !status.Halted()) return Fail("the core is not halted; connect first");
  *arm = !status.thumb;
  return true;
}

}  // namespace vantrel::flash
