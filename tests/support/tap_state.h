// The IEEE 1149.1 TAP controller as the test fixtures see it: written from the standard,
// independently of the library's driver, so that a driver that walks the TAP wrongly is
// caught rather than mirrored.
#pragma once

namespace vantrel::test {

enum class TapState {
  kTestLogicReset,
  kRunTestIdle,
  kSelectDr,
  kCaptureDr,
  kShiftDr,
  kExit1Dr,
  kPauseDr,
  kExit2Dr,
  kUpdateDr,
  kSelectIr,
  kCaptureIr,
  kShiftIr,
  kExit1Ir,
  kPauseIr,
  kExit2Ir,
  kUpdateIr,
};

// The state after one rising TCK edge with the given TMS.
constexpr TapState NextTapState(TapState state, bool tms) {
  using S = TapState;
  switch (state) {
    case S::kTestLogicReset: return tms ? S::kTestLogicReset : S::kRunTestIdle;
    case S::kRunTestIdle: return tms ? S::kSelectDr : S::kRunTestIdle;
    case S::kSelectDr: return tms ? S::kSelectIr : S::kCaptureDr;
    case S::kCaptureDr: return tms ? S::kExit1Dr : S::kShiftDr;
    case S::kShiftDr: return tms ? S::kExit1Dr : S::kShiftDr;
    case S::kExit1Dr: return tms ? S::kUpdateDr : S::kPauseDr;
    case S::kPauseDr: return tms ? S::kExit2Dr : S::kPauseDr;
    case S::kExit2Dr: return tms ? S::kUpdateDr : S::kShiftDr;
    case S::kUpdateDr: return tms ? S::kSelectDr : S::kRunTestIdle;
    case S::kSelectIr: return tms ? S::kTestLogicReset : S::kCaptureIr;
    case S::kCaptureIr: return tms ? S::kExit1Ir : S::kShiftIr;
    case S::kShiftIr: return tms ? S::kExit1Ir : S::kShiftIr;
    case S::kExit1Ir: return tms ? S::kUpdateIr : S::kPauseIr;
    case S::kPauseIr: return tms ? S::kExit2Ir : S::kPauseIr;
    case S::kExit2Ir: return tms ? S::kUpdateIr : S::kShiftIr;
    case S::kUpdateIr: return tms ? S::kSelectDr : S::kRunTestIdle;
  }
  return S::kTestLogicReset;
}

// The cable's lines as the library drives them on the data port and reads them on the
// status port.
inline constexpr unsigned kLineTms = 0x02;
inline constexpr unsigned kLineTck = 0x04;
inline constexpr unsigned kLineTdi = 0x08;
inline constexpr unsigned kStatusTdoInverted = 0x80;

}  // namespace vantrel::test
