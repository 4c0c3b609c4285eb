// Sharing the two watchpoint units, and the unit registers for data watchpoints and fetch
// breakpoints, checked against the simulated core's comparators on real bus cycles.
#include "target/watchpoint_units.h"

#include <gtest/gtest.h>

#include "board/embedded_ice.h"

namespace vantrel::test {
namespace {

using target::WatchAccess;

// MAS and nRW of a data cycle as the core drives them.
vsim::BusCycle DataCycle(uint32_t address, uint32_t size, bool write) {
  const uint32_t mas = size == 1 ? 0u : size == 2 ? 1u : 2u;
  vsim::BusCycle cycle;
  cycle.address = address;
  cycle.laneMask = 0xFFFFFFFF;
  cycle.control = vsim::kWpNopc | (mas << vsim::kWpMasShift) | (write ? vsim::kWpNrw : 0u);
  return cycle;
}

vsim::BusCycle FetchCycle(uint32_t address) {
  vsim::BusCycle cycle;
  cycle.address = address;
  cycle.laneMask = 0xFFFFFFFF;
  cycle.control = 2u << vsim::kWpMasShift;
  return cycle;
}

bool Hits(const target::UnitSetting& setting, const vsim::BusCycle& cycle) {
  vsim::EmbeddedIce ice;
  const int base = vsim::kIceWatchpoint1;
  ice.Write(base + vsim::kWpAddressValue, setting.addressValue);
  ice.Write(base + vsim::kWpAddressMask, setting.addressMask);
  ice.Write(base + vsim::kWpDataValue, setting.dataValue);
  ice.Write(base + vsim::kWpDataMask, setting.dataMask);
  ice.Write(base + vsim::kWpControlMask, setting.controlMask);
  ice.Write(base + vsim::kWpControlValue, setting.controlValue);
  return ice.Matches(cycle);
}

TEST(DataWatchSetting, StopsOnTheCyclesOfItsKindSizeAndAddress) {
  struct Case {
    target::WatchRequest request;
    vsim::BusCycle cycle;
    bool hit;
  };
  const Case cases[] = {
      {{0x1000, 0, 4, WatchAccess::kWrite}, DataCycle(0x1000, 4, true), true},
      {{0x1000, 0, 4, WatchAccess::kWrite}, DataCycle(0x1000, 4, false), false},
      {{0x1000, 0, 4, WatchAccess::kRead}, DataCycle(0x1000, 4, false), true},
      {{0x1000, 0, 4, WatchAccess::kRead}, DataCycle(0x1000, 4, true), false},
      {{0x1000, 0, 4, WatchAccess::kAccess}, DataCycle(0x1000, 4, true), true},
      {{0x1000, 0, 4, WatchAccess::kAccess}, DataCycle(0x1000, 4, false), true},
      {{0x1000, 0, 4, WatchAccess::kAccess}, DataCycle(0x1004, 4, false), false},
      {{0x1000, 0, 4, WatchAccess::kAccess}, FetchCycle(0x1000), false},
      {{0x1002, 0, 2, WatchAccess::kWrite}, DataCycle(0x1002, 2, true), true},
      {{0x1002, 0, 2, WatchAccess::kWrite}, DataCycle(0x1002, 1, true), false},
      {{0x1003, 0, 0, WatchAccess::kWrite}, DataCycle(0x1003, 1, true), true},
      {{0x1003, 0, 0, WatchAccess::kWrite}, DataCycle(0x1003, 4, true), true},
      // A mask watches a block: 0x1000-0x100F.
      {{0x1000, 0xF, 0, WatchAccess::kWrite}, DataCycle(0x100C, 4, true), true},
      {{0x1000, 0xF, 0, WatchAccess::kWrite}, DataCycle(0x1010, 4, true), false},
  };
  for (const Case& c : cases) {
    target::UnitSetting setting;
    ASSERT_EQ(target::DataWatchSetting(c.request, &setting), kOk);
    EXPECT_EQ(Hits(setting, c.cycle), c.hit) << std::hex << "watch 0x" << c.request.address << " size "
                                             << c.request.size << " cycle at 0x" << c.cycle.address
                                             << " control 0x" << c.cycle.control;
  }
}

TEST(DataWatchSetting, RefusesAnOddSizeOrAMisalignedAddress) {
  target::UnitSetting setting;
  setting.addressValue = 0xDEAD;
  EXPECT_EQ(target::DataWatchSetting({0x1000, 0, 3, WatchAccess::kWrite}, &setting), kInvalidParameters);
  EXPECT_EQ(target::DataWatchSetting({0x1000, 0, 8, WatchAccess::kWrite}, &setting), kInvalidParameters);
  EXPECT_EQ(target::DataWatchSetting({0x1002, 0, 4, WatchAccess::kWrite}, &setting), kInvalidParameters);
  EXPECT_EQ(setting.addressValue, 0xDEADu);
  // Misaligned bits that the mask ignores are no fault.
  EXPECT_EQ(target::DataWatchSetting({0x1002, 0x3, 4, WatchAccess::kWrite}, &setting), kOk);
}

TEST(FetchBreakSetting, StopsOnArmAndThumbFetchesOfTheAddressOnly) {
  const target::UnitSetting setting = target::FetchBreakSetting(0x2000);
  EXPECT_TRUE(Hits(setting, FetchCycle(0x2000)));
  EXPECT_TRUE(Hits(setting, FetchCycle(0x2001)));
  EXPECT_FALSE(Hits(setting, FetchCycle(0x2002)));
  EXPECT_FALSE(Hits(setting, DataCycle(0x2000, 4, false)));
}

}  // namespace
}  // namespace vantrel::test
