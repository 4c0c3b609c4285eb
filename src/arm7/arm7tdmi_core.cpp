#include "arm7/arm7tdmi_core.h"

#include "arm7/arm7_state.h"
#include "arm7/cable_link.h"
#include "arm7/checksum_loop.h"
#include "arm7/comms_loop.h"
#include "arm7/core_state.h"
#include "arm7/debug_state.h"
#include "arm7/embedded_ice.h"
#include "arm7/fast_memory_access.h"
#include "arm7/host_units.h"
#include "arm7/instructions.h"
#include "arm7/link_check.h"
#include "arm7/memory_access.h"
#include "arm7/progress.h"
#include "arm7/register_access.h"
#include "arm7/register_blocks.h"
#include "arm7/sequence_mode.h"

namespace vantrel::arm7 {
namespace {

class FastScope final : public core::SequenceScope {
 public:
  explicit FastScope(Arm7State& core) : scope_(core) {}

 private:
  arm7::FastSequenceScope scope_;
};

}  // namespace

Arm7tdmiCore::Arm7tdmiCore()
    : state_(std::make_unique<Arm7State>()), progress_(std::make_unique<CoreProgress>(*state_)) {}
Arm7tdmiCore::~Arm7tdmiCore() = default;

core::CoreFacts Arm7tdmiCore::Facts() const { return {kPutDataMaxWords, kCommsLoopBytes, kChecksumLoopBytes}; }

ResultCode Arm7tdmiCore::OpenCable(std::string_view kindName, std::string_view portName) {
  return arm7::OpenCable(*state_, kindName, portName);
}
ResultCode Arm7tdmiCore::PulseTargetReset() { return arm7::PulseTargetReset(*state_); }
void Arm7tdmiCore::ResetTapToIdle() { arm7::ResetTapToIdle(*state_); }
void Arm7tdmiCore::LeaveTapInReset() { arm7::LeaveTapInReset(*state_); }
void Arm7tdmiCore::ForgetTapActive() { arm7::ForgetTapActive(*state_); }
void Arm7tdmiCore::DriveCableLinesLow() { arm7::DriveCableLinesLow(*state_); }
void Arm7tdmiCore::ReleaseCable() { arm7::ReleaseCable(*state_); }
bool Arm7tdmiCore::PowerReadBad() { return arm7::PowerReadBad(*state_); }
int32_t Arm7tdmiCore::ReadPowerLines() { return arm7::ReadPowerLines(*state_); }
void Arm7tdmiCore::LendCableToJob() { arm7::LendCableToJob(*state_); }
void Arm7tdmiCore::LetCableCatchUp() { arm7::LetCableCatchUp(*state_); }
void Arm7tdmiCore::CableGoesIdle() { arm7::CableGoesIdle(*state_); }
void Arm7tdmiCore::LeaveCableAtUnload() { arm7::LeaveCableAtUnload(*state_); }
void Arm7tdmiCore::UsePortIo(const VantrelPortIo* io, VantrelPortBatch batch) { arm7::UsePortIo(*state_, io, batch); }
void Arm7tdmiCore::SetHostTransferMode(int mode) { arm7::SetHostTransferMode(*state_, mode); }
std::optional<core::WorkArea> Arm7tdmiCore::ConfiguredWorkArea() { return arm7::ConfiguredWorkArea(*state_); }

ResultCode Arm7tdmiCore::CheckTargetId() { return arm7::CheckTargetId(*state_); }
bool Arm7tdmiCore::LinkLost() { return arm7::LinkLost(*state_); }
bool Arm7tdmiCore::OnlyCommsOutOfStep() { return arm7::OnlyCommsOutOfStep(*state_); }
void Arm7tdmiCore::ClearLinkObservations() { arm7::ClearLinkObservations(*state_); }

bool Arm7tdmiCore::FastSequences() { return arm7::FastSequences(*state_); }
std::unique_ptr<core::SequenceScope> Arm7tdmiCore::FastSequenceScope() {
  if (!arm7::FastSequences(*state_)) return nullptr;
  return std::make_unique<FastScope>(*state_);
}

bool Arm7tdmiCore::RunningByStatus() { return (GetICEReg(*state_, kIceDebugStatus) & kHaltedMask) == 0; }
ResultCode Arm7tdmiCore::EnterDebug() { return ArmEnterDebug(*state_); }
ResultCode Arm7tdmiCore::EnterDebugFast() { return ArmEnterDebugFast(*state_); }
bool Arm7tdmiCore::LastEntryRequested() { return arm7::LastEntryRequested(*state_); }
void Arm7tdmiCore::RestartFromZero() { ArmRestartFromZero(*state_); }
void Arm7tdmiCore::Resume(bool interruptsMasked) { ArmResume(*state_, interruptsMasked); }
void Arm7tdmiCore::ResumeFast(bool interruptsMasked) { ArmResumeFast(*state_, interruptsMasked); }
void Arm7tdmiCore::PutBackLeftWorkArea() { ArmPutBackLeftWorkArea(*state_); }
uint32_t Arm7tdmiCore::StatusWord(uint32_t targetState) { return ArmGetStatus(*state_, targetState); }

core::RegisterFile& Arm7tdmiCore::Registers() { return RegisterCache(*state_); }
ResultCode Arm7tdmiCore::ReadRegister(int index, uint32_t& value) { return ArmReadRegister(*state_, index, value); }
ResultCode Arm7tdmiCore::WriteRegister(int index, uint32_t value) {
  return ArmWriteRegister(*state_, index, value, WriteForm::kArm);
}
void Arm7tdmiCore::ReadAllRegisters(core::RegisterFile& registers) { ArmReadAllRegisters(*state_, registers); }
uint32_t Arm7tdmiCore::ReadCpsrFast() { return ArmReadCpsrFast(*state_); }
bool Arm7tdmiCore::ArmStateAtEntry() { return arm7::ArmStateAtEntry(*state_); }
void Arm7tdmiCore::SetArmStateAtEntry(bool armState) { arm7::SetArmStateAtEntry(*state_, armState); }
void Arm7tdmiCore::SetBigEndianTarget(bool bigEndian) { arm7::SetBigEndianTarget(*state_, bigEndian); }

ResultCode Arm7tdmiCore::GetData(uint32_t address, uint8_t* destination, int count) {
  return ArmGetData(*state_, address, destination, count);
}
ResultCode Arm7tdmiCore::GetDataWithin(uint32_t address, uint8_t* destination, int count) {
  return ArmGetDataWithin(*state_, address, destination, count);
}
ResultCode Arm7tdmiCore::GetDataFast(uint32_t address, uint8_t* destination, int count,
                                     std::optional<uint32_t> workArea) {
  return ArmGetDataFast(*state_, address, destination, count, workArea);
}
ResultCode Arm7tdmiCore::PutData(uint32_t address, int stride, int count, const uint8_t* source) {
  return ArmPutData(*state_, address, stride, count, source);
}
ResultCode Arm7tdmiCore::PutDataFast(uint32_t address, int stride, int count, const uint8_t* source,
                                     core::WriteStart start) {
  return ArmPutDataFast(*state_, address, stride, count, source, start);
}
core::CommsLoop Arm7tdmiCore::StartCommsStores(uint32_t workArea, uint32_t address, uint32_t words) {
  return ArmStartCommsStores(*state_, workArea, address, words);
}
void Arm7tdmiCore::SendCommsWords(int stride, int count, const uint8_t* source) {
  ArmSendCommsWords(*state_, stride, count, source);
}
ResultCode Arm7tdmiCore::EndCommsStores(uint32_t wordsSent) { return ArmEndCommsStores(*state_, wordsSent); }
core::TransferProgress& Arm7tdmiCore::Progress() { return *progress_; }

void Arm7tdmiCore::SetBreakpointPattern(uint32_t address, uint32_t pattern) {
  arm7::SetBreakpointPattern(*state_, address, pattern);
}
void Arm7tdmiCore::SetHardwareBreakpoint(uint32_t address) { arm7::SetHardwareBreakpoint(*state_, address); }
void Arm7tdmiCore::ClearHardwareBreakpoint() { arm7::ClearHardwareBreakpoint(*state_); }
void Arm7tdmiCore::LendUnit(int unit, const core::UnitSetting& setting) { arm7::LendUnit(*state_, unit, setting); }
void Arm7tdmiCore::ReturnUnit(int unit) { arm7::ReturnUnit(*state_, unit); }
bool Arm7tdmiCore::UnitLent(int unit) { return arm7::UnitLent(*state_, unit); }
ResultCode Arm7tdmiCore::ReadIceRegisters(core::IceDump& dump) { return arm7::ReadIceRegisters(*state_, dump); }

core::ChecksumRun Arm7tdmiCore::ChecksumBytes(uint32_t workArea, uint32_t address, uint32_t length) {
  return ArmChecksumBytes(*state_, workArea, address, length);
}

}  // namespace vantrel::arm7
