#include "arm7/arm7tdmi_core.h"


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
  arm7::FastSequenceScope scope_;
};

class Arm7Progress final : public core::TransferProgress {
 public:
  int32_t Percent() override { return ProgressPercent(); }
  void SetPercent(int32_t percent) override { SetProgressPercent(percent); }
  void RequestBreak() override { SetBreakRequest(true); }
  bool Report(int32_t done, int32_t total) override { return ReportProgress(done, total); }
  void Show(int32_t done, int32_t total) override { ShowProgress(done, total); }
  bool PowerReadingBad() override { return arm7::PowerReadingBad(); }
  void Reset() override { ResetProgress(); }
};

}  // namespace

core::CoreFacts Arm7tdmiCore::Facts() const { return {kPutDataMaxWords, kCommsLoopBytes, kChecksumLoopBytes}; }

ResultCode Arm7tdmiCore::OpenCable(std::string_view kindName, std::string_view portName) {
  return arm7::OpenCable(kindName, portName);
}
ResultCode Arm7tdmiCore::PulseTargetReset() { return arm7::PulseTargetReset(); }
void Arm7tdmiCore::ResetTapToIdle() { arm7::ResetTapToIdle(); }
void Arm7tdmiCore::LeaveTapInReset() { arm7::LeaveTapInReset(); }
void Arm7tdmiCore::ForgetTapActive() { arm7::ForgetTapActive(); }
void Arm7tdmiCore::DriveCableLinesLow() { arm7::DriveCableLinesLow(); }
void Arm7tdmiCore::ReleaseCable() { arm7::ReleaseCable(); }
bool Arm7tdmiCore::PowerReadBad() { return arm7::PowerReadBad(); }
int32_t Arm7tdmiCore::ReadPowerLines() { return arm7::ReadPowerLines(); }
void Arm7tdmiCore::LendCableToJob() { arm7::LendCableToJob(); }
void Arm7tdmiCore::LetCableCatchUp() { arm7::LetCableCatchUp(); }
void Arm7tdmiCore::CableGoesIdle() { arm7::CableGoesIdle(); }
void Arm7tdmiCore::LeaveCableAtUnload() { arm7::LeaveCableAtUnload(); }
void Arm7tdmiCore::UsePortIo(const VantrelPortIo* io, VantrelPortBatch batch) { arm7::UsePortIo(io, batch); }
void Arm7tdmiCore::SetHostTransferMode(int mode) { arm7::SetHostTransferMode(mode); }
std::optional<core::WorkArea> Arm7tdmiCore::ConfiguredWorkArea() { return arm7::ConfiguredWorkArea(); }

ResultCode Arm7tdmiCore::CheckTargetId() { return arm7::CheckTargetId(); }
bool Arm7tdmiCore::LinkLost() { return arm7::LinkLost(); }
bool Arm7tdmiCore::OnlyCommsOutOfStep() { return arm7::OnlyCommsOutOfStep(); }
void Arm7tdmiCore::ClearLinkObservations() { arm7::ClearLinkObservations(); }

bool Arm7tdmiCore::FastSequences() { return arm7::FastSequences(); }
std::unique_ptr<core::SequenceScope> Arm7tdmiCore::FastSequenceScope() {
  if (!arm7::FastSequences()) return nullptr;
  return std::make_unique<FastScope>();
}

bool Arm7tdmiCore::RunningByStatus() { return (GetICEReg(kIceDebugStatus) & kHaltedMask) == 0; }
ResultCode Arm7tdmiCore::EnterDebug() { return ArmEnterDebug(); }
ResultCode Arm7tdmiCore::EnterDebugFast() { return ArmEnterDebugFast(); }
bool Arm7tdmiCore::LastEntryRequested() { return arm7::LastEntryRequested(); }
void Arm7tdmiCore::RestartFromZero() { ArmRestartFromZero(); }
void Arm7tdmiCore::Resume(bool interruptsMasked) { ArmResume(interruptsMasked); }
void Arm7tdmiCore::ResumeFast(bool interruptsMasked) { ArmResumeFast(interruptsMasked); }
void Arm7tdmiCore::PutBackLeftWorkArea() { ArmPutBackLeftWorkArea(); }
uint32_t Arm7tdmiCore::StatusWord(uint32_t targetState) { return ArmGetStatus(targetState); }

core::RegisterFile& Arm7tdmiCore::Registers() { return RegisterCache(); }
ResultCode Arm7tdmiCore::ReadRegister(int index, uint32_t& value) { return ArmReadRegister(index, value); }
ResultCode Arm7tdmiCore::WriteRegister(int index, uint32_t value) {
  return ArmWriteRegister(index, value, WriteForm::kArm);
}
void Arm7tdmiCore::ReadAllRegisters(core::RegisterFile& registers) { ArmReadAllRegisters(registers); }
uint32_t Arm7tdmiCore::ReadCpsrFast() { return ArmReadCpsrFast(); }
bool Arm7tdmiCore::ArmStateAtEntry() { return arm7::ArmStateAtEntry(); }
void Arm7tdmiCore::SetArmStateAtEntry(bool armState) { arm7::SetArmStateAtEntry(armState); }
void Arm7tdmiCore::SetBigEndianTarget(bool bigEndian) { arm7::SetBigEndianTarget(bigEndian); }

ResultCode Arm7tdmiCore::GetData(uint32_t address, uint8_t* destination, int count) {
  return ArmGetData(address, destination, count);
}
ResultCode Arm7tdmiCore::GetDataWithin(uint32_t address, uint8_t* destination, int count) {
  return ArmGetDataWithin(address, destination, count);
}
ResultCode Arm7tdmiCore::GetDataFast(uint32_t address, uint8_t* destination, int count,
                                     std::optional<uint32_t> workArea) {
  return ArmGetDataFast(address, destination, count, workArea);
}
ResultCode Arm7tdmiCore::PutData(uint32_t address, int stride, int count, const uint8_t* source) {
  return ArmPutData(address, stride, count, source);
}
ResultCode Arm7tdmiCore::PutDataFast(uint32_t address, int stride, int count, const uint8_t* source,
                                     core::WriteStart start) {
  return ArmPutDataFast(address, stride, count, source, start);
}
core::CommsLoop Arm7tdmiCore::StartCommsStores(uint32_t workArea, uint32_t address, uint32_t words) {
  return ArmStartCommsStores(workArea, address, words);
}
void Arm7tdmiCore::SendCommsWords(int stride, int count, const uint8_t* source) {
  ArmSendCommsWords(stride, count, source);
}
ResultCode Arm7tdmiCore::EndCommsStores(uint32_t wordsSent) { return ArmEndCommsStores(wordsSent); }
core::TransferProgress& Arm7tdmiCore::Progress() {
  static Arm7Progress progress;
  return progress;
}

void Arm7tdmiCore::SetBreakpointPattern(uint32_t address, uint32_t pattern) {
  arm7::SetBreakpointPattern(address, pattern);
}
void Arm7tdmiCore::SetHardwareBreakpoint(uint32_t address) { arm7::SetHardwareBreakpoint(address); }
void Arm7tdmiCore::ClearHardwareBreakpoint() { arm7::ClearHardwareBreakpoint(); }
void Arm7tdmiCore::LendUnit(int unit, const core::UnitSetting& setting) { arm7::LendUnit(unit, setting); }
void Arm7tdmiCore::ReturnUnit(int unit) { arm7::ReturnUnit(unit); }
bool Arm7tdmiCore::UnitLent(int unit) { return arm7::UnitLent(unit); }
ResultCode Arm7tdmiCore::ReadIceRegisters(core::IceDump& dump) { return arm7::ReadIceRegisters(dump); }

core::ChecksumRun Arm7tdmiCore::ChecksumBytes(uint32_t workArea, uint32_t address, uint32_t length) {
  return ArmChecksumBytes(workArea, address, length);
}

}  // namespace vantrel::arm7
