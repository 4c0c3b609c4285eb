#include "arm7/cable_link.h"

#include "cable/cable_registry.h"

namespace vantrel::arm7 {
namespace {

cable::CableChoice& Cables() { return cable::CurrentCableChoice(); }
cable::Cable& Cable() { return Cables().Active(); }

}  // namespace

ResultCode OpenCable(std::string_view kindName, std::string_view portName) {
  return Cables().Open(kindName, portName);
}

ResultCode PulseTargetReset() { return Cable().PulseReset(); }
void ResetTapToIdle() { Cable().ResetTap(cable::TapResetEnd::kRunTestIdle); }
void LeaveTapInReset() { Cable().ResetTap(cable::TapResetEnd::kTestLogicReset); }
void ForgetTapActive() { Cable().SetTapActive(false); }
void DriveCableLinesLow() { Cable().DriveLinesLow(); }
void ReleaseCable() { Cable().Release(); }
bool PowerReadBad() { return cable::PowerReadBad(Cable()); }
int32_t ReadPowerLines() { return Cable().ReadPowerLines(); }
void LendCableToJob() { Cable().LendToJob(); }
void LetCableCatchUp() { Cable().CatchUp(); }
void CableGoesIdle() { Cable().GoIdle(); }
void LeaveCableAtUnload() { Cable().LeaveAtUnload(); }

void UsePortIo(const VantrelPortIo* io, VantrelPortBatch batch) { Cables().UsePortIo(io, batch); }
void SetHostTransferMode(int mode) { Cables().SetHostTransferMode(mode); }

std::optional<core::WorkArea> ConfiguredWorkArea() {
  const std::optional<cable::WorkArea> configured = Cables().ConfiguredWorkArea();
  if (!configured.has_value()) return std::nullopt;
  return core::WorkArea{configured->address, configured->size};
}

}  // namespace vantrel::arm7
