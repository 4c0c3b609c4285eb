#include "target_link.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "background_job.h"
#include "poll_limit.h"
#include "vantrel.h"

namespace vantrel::flash {

namespace {

constexpr int kStateShift = VANTREL_STATE_SHIFT;
constexpr int kStateConnectedHalted = VANTREL_STATE_CONNECTED;
constexpr int kStateHalted = VANTREL_STATE_HALTED;
constexpr int kStateRunning = VANTREL_STATE_RUNNING;
constexpr int kDebugAcknowledged = VANTREL_STATUS_IN_DEBUG;
constexpr int kThumbState = VANTREL_STATUS_THUMB;
constexpr int32_t kWordStride = 4;
constexpr auto kHaltPoll = std::chrono::milliseconds(1);

bool HaltedState(int state) { return state == kStateConnectedHalted || state == kStateHalted; }

}  // namespace

bool TargetLink::Fail(const std::string& message) {
  error_ = message;
  return false;
}

bool TargetLink::Check(const client::Answer& answer, const char* what) {
  if (answer.Ok()) return true;
  return Fail(std::string(what) + ": " + answer.Reason());
}

bool TargetLink::Transfer(int32_t code, const JtagRequest& request, bool background, const char* what) {
  if (background) library_.ClearLastJobResult();
  if (!Check(library_.Call(request, code), what)) return false;
  if (!background) return true;
  const int result = client::WaitForJob(library_);
  if (result == 0) return true;
  return Fail(std::string(what) + " failed (job result " + std::to_string(result) + ")");
}

bool TargetLink::Read(uint32_t address, size_t length, Bytes* bytes) {
  bytes->assign(length, 0);
  if (length == 0) return true;
  JtagRequest request = client::EmptyRequest();
  request.args.readMemory.buffer = bytes->data();
  request.args.readMemory.address = address;
  request.args.readMemory.length = static_cast<int32_t>(length);
  return Transfer(VANTREL_CMD_READ_MEMORY, request, length >= client::kBackgroundTransferBytes, "read");
}

bool TargetLink::Write(uint32_t address, const Bytes& bytes) {
  if (bytes.empty()) return true;
  JtagRequest request = client::EmptyRequest();
  request.args.writeMemory.address = address;
  request.args.writeMemory.data = bytes.data();
  request.args.writeMemory.length = static_cast<int32_t>(bytes.size());
  request.args.writeMemory.accessWidth = kWordStride;
  return Transfer(VANTREL_CMD_WRITE_MEMORY, request, bytes.size() >= client::kBackgroundTransferBytes, "write");
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
  JtagRequest request = client::EmptyRequest();
  request.args.readRegisters.byMode = 0;
  const size_t count = std::min<size_t>(names.size(), VANTREL_MAX_REGISTER_NAMES);
  request.args.readRegisters.nameCount = static_cast<int32_t>(count);
  for (size_t i = 0; i < count; ++i) {
    std::snprintf(request.args.readRegisters.names[i], VANTREL_TEXT_FIELD_SIZE, "%s", names[i].c_str());
  }
  const client::Answer answer = library_.Call(request, VANTREL_CMD_READ_REGISTERS);
  if (!Check(answer, "read registers")) return false;
  if (answer.data.size() < count * 4) return Fail("read registers: a short answer");
  values->clear();
  for (size_t i = 0; i < count; ++i) values->push_back(answer.Word(i));
  return true;
}

bool TargetLink::WriteRegister(const std::string& name, uint32_t value) {
  JtagRequest request = client::EmptyRequest();
  std::snprintf(request.args.writeRegister.name, VANTREL_TEXT_FIELD_SIZE, "%s", name.c_str());
  request.args.writeRegister.value = value;
  return Check(library_.Call(request, VANTREL_CMD_WRITE_REGISTER), "write register");
}

bool TargetLink::SetSoftwareBreak(uint32_t address) {
  JtagRequest request = client::EmptyRequest();
  request.args.breakpoint.address = address;
  return Check(library_.Call(request, VANTREL_CMD_SET_SOFTWARE_BREAK), "breakpoint");
}

bool TargetLink::Run() { return Check(library_.Call(client::EmptyRequest(), VANTREL_CMD_RUN), "run"); }

bool TargetLink::Stop() { return Check(library_.Call(client::EmptyRequest(), VANTREL_CMD_STOP), "stop"); }

bool TargetLink::WaitForHalt(std::chrono::milliseconds limit) {
  PollLimit pollLimit(limit);
  for (;;) {
    const int status = library_.DbgStatus(VANTREL_SELECT_STATUS_WORD);
    if (status < 0) return Fail("the status query failed (" + std::to_string(status) + ")");
    if ((status >> kStateShift) != kStateRunning) return Fail("the target no longer runs the flash loop");
    if ((status & kDebugAcknowledged) != 0) return true;
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
  const int status = library_.DbgStatus(VANTREL_SELECT_STATUS_WORD);
  if (status < 0 || !HaltedState(status >> kStateShift)) return Fail("the core is not halted; connect first");
  *arm = (status & kThumbState) == 0;
  return true;
}

}  // namespace vantrel::flash
