// The ARM7TDMI as the target-control layer's debug core: each operation of the interface
// is the debug core's function of the same name, with the same port traffic, on the
// state this object owns (arm7_state.h: the halted core's facts and the cables).
#pragma once

#include <memory>

#include "core/debug_core.h"

namespace vantrel::arm7 {

struct Arm7State;

class Arm7tdmiCore final : public core::DebugCore {
 public:
  Arm7tdmiCore();
  ~Arm7tdmiCore() override;
  Arm7tdmiCore(const Arm7tdmiCore&) = delete;
  Arm7tdmiCore& operator=(const Arm7tdmiCore&) = delete;

  // What the core holds between calls; tests reach into it.
  Arm7State& State() { return *state_; }

  [[nodiscard]] core::CoreFacts Facts() const override;

  [[nodiscard]] ResultCode OpenCable(std::string_view kindName, std::string_view portName) override;
  [[nodiscard]] ResultCode PulseTargetReset() override;
  void ResetTapToIdle() override;
  void LeaveTapInReset() override;
  void ForgetTapActive() override;
  void DriveCableLinesLow() override;
  void ReleaseCable() override;
  [[nodiscard]] bool PowerReadBad() override;
  [[nodiscard]] int32_t ReadPowerLines() override;
  void LendCableToJob() override;
  void LetCableCatchUp() override;
  void CableGoesIdle() override;
  void LeaveCableAtUnload() override;
  void UsePortIo(const VantrelPortIo* io, VantrelPortBatch batch) override;
  void SetHostTransferMode(int mode) override;
  [[nodiscard]] std::optional<core::WorkArea> ConfiguredWorkArea() override;

  [[nodiscard]] ResultCode CheckTargetId() override;
  [[nodiscard]] bool LinkLost() override;
  [[nodiscard]] bool OnlyCommsOutOfStep() override;
  void ClearLinkObservations() override;

  [[nodiscard]] bool FastSequences() override;
  [[nodiscard]] std::unique_ptr<core::SequenceScope> FastSequenceScope() override;

  [[nodiscard]] bool RunningByStatus() override;
  [[nodiscard]] ResultCode EnterDebug() override;
  [[nodiscard]] ResultCode EnterDebugFast() override;
  [[nodiscard]] bool LastEntryRequested() override;
  void RestartFromZero() override;
  void Resume(bool interruptsMasked) override;
  void ResumeFast(bool interruptsMasked) override;
  void PutBackLeftWorkArea() override;
  [[nodiscard]] uint32_t StatusWord(uint32_t targetState) override;

  [[nodiscard]] core::RegisterFile& Registers() override;
  [[nodiscard]] ResultCode ReadRegister(int index, uint32_t& value) override;
  [[nodiscard]] ResultCode WriteRegister(int index, uint32_t value) override;
  void ReadAllRegisters(core::RegisterFile& registers) override;
  [[nodiscard]] uint32_t ReadCpsrFast() override;
  [[nodiscard]] bool ArmStateAtEntry() override;
  void SetArmStateAtEntry(bool armState) override;
  void SetBigEndianTarget(bool bigEndian) override;

  [[nodiscard]] ResultCode GetData(uint32_t address, uint8_t* destination, int count) override;
  [[nodiscard]] ResultCode GetDataWithin(uint32_t address, uint8_t* destination, int count) override;
  [[nodiscard]] ResultCode GetDataFast(uint32_t address, uint8_t* destination, int count,
                                       std::optional<uint32_t> workArea) override;
  [[nodiscard]] ResultCode PutData(uint32_t address, int stride, int count, const uint8_t* source) override;
  [[nodiscard]] ResultCode PutDataFast(uint32_t address, int stride, int count, const uint8_t* source,
                                       core::WriteStart start) override;
  [[nodiscard]] core::CommsLoop StartCommsStores(uint32_t workArea, uint32_t address, uint32_t words) override;
  void SendCommsWords(int stride, int count, const uint8_t* source) override;
  [[nodiscard]] ResultCode EndCommsStores(uint32_t wordsSent) override;
  [[nodiscard]] core::TransferProgress& Progress() override;
  [[nodiscard]] core::ChecksumRun ChecksumBytes(uint32_t workArea, uint32_t address, uint32_t length) override;

  void SetBreakpointPattern(uint32_t address, uint32_t pattern) override;
  void SetHardwareBreakpoint(uint32_t address) override;
  void ClearHardwareBreakpoint() override;
  void LendUnit(int unit, const core::UnitSetting& setting) override;
  void ReturnUnit(int unit) override;
  [[nodiscard]] bool UnitLent(int unit) override;
  [[nodiscard]] ResultCode ReadIceRegisters(core::IceDump& dump) override;

 private:
  std::unique_ptr<Arm7State> state_;
  std::unique_ptr<core::TransferProgress> progress_;
};

}  // namespace vantrel::arm7
