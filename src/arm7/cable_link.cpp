#include "arm7/cable_link.h"

#include "cable/cable_registry.h"
#include "cable/port_config.h"
#include "cable/port_io.h"

namespace vantrel::arm7 {
namespace {

cable::Cable& Cable() { return cable::ActiveCable(); }

}  // namespace

ResultCode OpenCable(std::string_view kindName, std::string_view portName) {
  return cable::OpenCableOfKind(kindName, portName);
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

void UsePortIo(const VantrelPortIo* io, VantrelPortBatch batch) { cable::UsePortIo(io, batch); }
void SetHostTransferMode(int mode) { cable::SetHostTransferMode(mode); }

std::optional<core::WorkArea> ConfiguredWorkArea() {
  const std::optional<cable::WorkArea> configured = cable::ConfiguredWorkArea();
  if (!configured.has_value()) return std::nullopt;
  return core::WorkArea{configured->address, configured->size};
}

}  // namespace vantrel::arm7
