#include "arm7/cable_link.h"

#include "arm7/arm7_state.h"

namespace vantrel::arm7 {

ResultCode OpenCable(Arm7State& core, std::string_view kindName, std::string_view portName) {
  return core.cables.Open(kindName, portName);
}

ResultCode PulseTargetReset(Arm7State& core) { return core.cables.Active().PulseReset(); }
void ResetTapToIdle(Arm7State& core) { core.cables.Active().ResetTap(cable::TapResetEnd::kRunTestIdle); }
void LeaveTapInReset(Arm7State& core) { core.cables.Active().ResetTap(cable::TapResetEnd::kTestLogicReset); }
void ForgetTapActive(Arm7State& core) { core.cables.Active().SetTapActive(false); }
void DriveCableLinesLow(Arm7State& core) { core.cables.Active().DriveLinesLow(); }
void ReleaseCable(Arm7State& core) { core.cables.Active().Release(); }
bool PowerReadBad(Arm7State& core) { return cable::PowerReadBad(core.cables.Active()); }
int32_t ReadPowerLines(Arm7State& core) { return core.cables.Active().ReadPowerLines(); }
void LendCableToJob(Arm7State& core) { core.cables.Active().LendToJob(); }
void LetCableCatchUp(Arm7State& core) { core.cables.Active().CatchUp(); }
void CableGoesIdle(Arm7State& core) { core.cables.Active().GoIdle(); }
void LeaveCableAtUnload(Arm7State& core) { core.cables.Active().LeaveAtUnload(); }

void UsePortIo(Arm7State& core, const VantrelPortIo* io, VantrelPortBatch batch) { core.cables.UsePortIo(io, batch); }
void SetHostTransferMode(Arm7State& core, int mode) { core.cables.SetHostTransferMode(mode); }

std::optional<core::WorkArea> ConfiguredWorkArea(Arm7State& core) {
  const std::optional<cable::WorkArea> configured = core.cables.ConfiguredWorkArea();
  if (!configured.has_value()) return std::nullopt;
  return core::WorkArea{configured->address, configured->size};
}

}  // namespace vantrel::arm7
