// Faults in the middle of a flash write, on the simulated board's flash chips through
// the real library: the cable pulled out or the target's power gone part-way through the
// erase or the programming. The write must fail naming sectors it covers (and only
// those) as possibly incomplete, no byte outside the covered sectors may change, and
// once the fault is gone a reconnect and a new write of the same image must succeed and
// leave the work area as it was.
#include <cstdio>
#include <string>
#include <vector>

#include "fault_port.h"
#include "flash_banks.h"
#include "library.h"
#include "memory_requests.h"

namespace vantrel::e2e {
namespace {

constexpr uint32_t kFlashBytes = 0x40000;
constexpr uint32_t kRam = 0x100000;
constexpr uint32_t kRamBytes = 0x40000;
constexpr uint32_t kAreaBytes = 0x2000;

struct FlashFaultCase {
  std::string name;
  vsim::FlashKind kind;
  Fault fault;
  flash::Phase phase;  // where the fault strikes: half-way through this phase
  bool workArea;
  uint32_t imageAt;  // mid-sector at both ends
  uint32_t imageBytes;
};

class FlashFaultTest : public MemoryTest, public ::testing::WithParamInterface<FlashFaultCase> {
 protected:
  // Only TCK edges move the core: the fault lands at the same place every run.
  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config;
    config.freeRunInstructionsPerMs = 0;
    config.regions = {{0, kFlashBytes, vsim::RegionKind::kFlash, GetParam().kind},
                      {kRam, kRamBytes, vsim::RegionKind::kRam}};
    return config;
  }

  void SetUp() override {
    MemoryTest::SetUp();
    port_.Attach(board());
    const VantrelPortIo io = port_.Io();
    library().VantrelUsePortIo(&io);
    FillBoard(0, kFlashBytes, 0x21);
    FillBoard(kRam, kRamBytes, 0x5A);
    OpenAndConnect();
    if (GetParam().workArea) {
      ASSERT_EQ(AddRegion(kRam, kAreaBytes, VANTREL_REGION_READ_WRITE).status, VANTREL_STATUS_OK);
    }
    ASSERT_TRUE(client_.Load(VANTREL_LIBRARY_PATH)) << client_.Error();
    ASSERT_NE(banks_.Probe(0), nullptr) << banks_.Error();
  }

  // Unloading resets the TAP through the port, which must still be this fixture's.
  void TearDown() override {
    library().Unload();
    MemoryTest::TearDown();
  }

  bool Write(const std::vector<uint8_t>& image, const flash::PhaseSink& phase = {}) {
    return banks_.Write({{GetParam().imageAt, image}}, phase);
  }

  // The port accesses at which a fault-free write enters each phase, and its total.
  struct PhaseMarks {
    uint64_t erase = 0, program = 0, end = 0;
  };
  PhaseMarks Measure(const std::vector<uint8_t>& image) {
    PhaseMarks marks;
    port_.Count();
    EXPECT_TRUE(Write(image, [&](flash::Phase phase, uint64_t, uint64_t) {
      uint64_t& mark = phase == flash::Phase::kErase ? marks.erase : marks.program;
      if (phase != flash::Phase::kRead && mark == 0) mark = port_.Accesses();
    })) << banks_.Error();
    marks.end = port_.Accesses();
    return marks;
  }

  std::vector<flash::Sector> Covered() {
    return banks_.Overlapping(0, 1)->SectorsCovering(GetParam().imageAt, GetParam().imageBytes);
  }

  FaultPort port_;
  client::Library client_;
  flash::FlashBanks banks_{client_};
};

TEST_P(FlashFaultTest, FailsNamingTheSectorsAndTheNextWriteSucceeds) {
  const FlashFaultCase& c = GetParam();
  const std::vector<uint8_t> image = Pattern(c.imageBytes, 0x3C);
  const std::vector<flash::Sector> covered = Covered();
  const uint32_t coveredStart = covered.front().address, coveredEnd = covered.back().End();

  // A fault-free write first, to learn where the phases lie; then the base again.
  const PhaseMarks marks = Measure(image);
  ASSERT_GT(marks.program, marks.erase);
  FillBoard(0, kFlashBytes, 0x21);
  const std::vector<uint8_t> flashBefore = BoardBytes(0, kFlashBytes);
  const std::vector<uint8_t> ramBefore = BoardBytes(kRam, kRamBytes);

  const uint64_t strike =
      c.phase == flash::Phase::kErase ? (marks.erase + marks.program) / 2 : (marks.program + marks.end) / 2;
  port_.Arm(c.fault, strike);
  EXPECT_FALSE(Write(image));
  ASSERT_TRUE(port_.Struck());
  port_.Heal();
  const std::string error = banks_.Error();
  const std::string::size_type named = error.find("these sectors may be incomplete: ");
  ASSERT_NE(named, std::string::npos) << error;
  int ranges = 0;
  for (std::string::size_type at = error.find("0x", named); at != std::string::npos; at = error.find(", 0x", at)) {
    unsigned first = 0, last = 0;
    at = error.find("0x", at);
    ASSERT_EQ(std::sscanf(error.c_str() + at, "0x%8x-0x%8x", &first, &last), 2) << error;
    EXPECT_GE(first, coveredStart) << error;
    EXPECT_LT(last, coveredEnd) << error;
    ++ranges;
  }
  EXPECT_GT(ranges, 0) << error;

  (void)Disconnect();
  OpenAndConnect();
  if (c.workArea) {
    ASSERT_EQ(AddRegion(kRam, kAreaBytes, VANTREL_REGION_READ_WRITE).status, VANTREL_STATUS_OK);
  }
  ASSERT_TRUE(Write(image)) << banks_.Error();

  const std::vector<uint8_t> flashAfter = BoardBytes(0, kFlashBytes);
  for (uint32_t a = 0; a < kFlashBytes; ++a) {
    if (a >= c.imageAt && a - c.imageAt < c.imageBytes) {
      ASSERT_EQ(flashAfter[a], image[a - c.imageAt]) << "image byte at 0x" << std::hex << a;
    } else if (a < coveredStart || a >= coveredEnd) {
      ASSERT_EQ(flashAfter[a], flashBefore[a]) << "flash outside the covered sectors changed at 0x" << std::hex << a;
    }
  }
  const std::vector<uint8_t> ramAfter = BoardBytes(kRam, kRamBytes);
  for (uint32_t i = 0; i < kRamBytes; ++i) {
    ASSERT_EQ(ramAfter[i], ramBefore[i]) << "RAM changed at 0x" << std::hex << kRam + i << " after: " << error;
  }
}

std::vector<FlashFaultCase> AllCases() {
  struct Chip {
    const char* name;
    vsim::FlashKind kind;
    bool workArea;
    uint32_t imageAt;
    uint32_t imageBytes;
  };
  const Chip chips[] = {
      // Across the small boot sectors into a large one.
      {"Amd16", vsim::FlashKind::kAmd16, true, 0x5000, 0x9000},
      {"Intel16", vsim::FlashKind::kIntel16, true, 0x5000, 0x9000},
      // The host's own command cycles, without a work area: a smaller image.
      {"Intel16NoWorkArea", vsim::FlashKind::kIntel16, false, 0x1F00, 0x300},
  };
  const std::pair<const char*, Fault> faults[] = {{"Unplug", Fault::kUnplug}, {"PowerLoss", Fault::kPowerLoss}};
  const std::pair<const char*, flash::Phase> phases[] = {{"MidErase", flash::Phase::kErase},
                                                         {"MidProgram", flash::Phase::kProgram}};
  std::vector<FlashFaultCase> cases;
  for (const Chip& chip : chips) {
    for (const auto& [faultName, fault] : faults) {
      for (const auto& [phaseName, phase] : phases) {
        cases.push_back({std::string(chip.name) + faultName + phaseName, chip.kind, fault, phase, chip.workArea,
                         chip.imageAt, chip.imageBytes});
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Faults, FlashFaultTest, ::testing::ValuesIn(AllCases()),
                         [](const auto& param) { return param.param.name; });

}  // namespace
}  // namespace vantrel::e2e
