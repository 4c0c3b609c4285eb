// lpt.ini: the port table and the busy-wait count it can change, line by line and from
// a named file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "cable/port_cable_state.h"
#include "cable/port_config.h"
#include "cable/port_io.h"
#include "platform/trace.h"

namespace vantrel::cable {
void PrintTo(const PortAddresses& p, std::ostream* os) {
  *os << std::hex << "{" << p.data << "," << p.status << "," << p.control << "}";
}
}  // namespace vantrel::cable

namespace vantrel::test {
namespace {

using cable::PortAddresses;
using cable::PortTableEntry;

constexpr PortAddresses kLpt1{0x378, 0x379, 0x37A};
constexpr PortAddresses kLpt2{0x3BC, 0x3BD, 0x3BE};
constexpr PortAddresses kLpt3{0x278, 0x279, 0x27A};
constexpr PortAddresses kAt2F8{0x2F8, 0x2F9, 0x2FA};
constexpr int32_t kDelayBefore = 5;

class PortConfigTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove(path_); }

  std::string WriteFile(const std::string& text) {
    path_ = std::filesystem::path(::testing::TempDir()) /
            (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_lpt.ini");
    std::ofstream(path_, std::ios::binary) << text;
    return path_.string();
  }

  cable::PortCableState& State() { return *state_; }

  std::unique_ptr<cable::PortCableState> state_ = std::make_unique<cable::PortCableState>();  // as at load
  std::filesystem::path path_;
};

TEST_F(PortConfigTest, DefaultsAtLoad) {
  EXPECT_EQ(PortTableEntry(State(), 0), kLpt1);
  EXPECT_EQ(PortTableEntry(State(), 1), kLpt2);
  EXPECT_EQ(PortTableEntry(State(), 2), kLpt3);
  EXPECT_EQ(cable::PortDelay(State()), 0);
}

struct LineCase {
  const char* name;
  const char* line;
  PortAddresses lpt1, lpt2, lpt3;
  int32_t delay;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class ConfigLine : public PortConfigTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(ConfigLine, ChangesOnlyWhatItNames) {
  cable::SetPortDelay(State(), kDelayBefore);
  cable::ApplyPortConfigLine(State(), GetParam().line);
  EXPECT_EQ(PortTableEntry(State(), 0), GetParam().lpt1);
  EXPECT_EQ(PortTableEntry(State(), 1), GetParam().lpt2);
  EXPECT_EQ(PortTableEntry(State(), 2), GetParam().lpt3);
  EXPECT_EQ(cable::PortDelay(State()), GetParam().delay);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ConfigLine,
    ::testing::Values(
        LineCase{"Lpt2Bare", "lpt2=2F8\n", kLpt1, kAt2F8, kLpt3, kDelayBefore},
        LineCase{"Lpt2HexPrefix", "lpt2=0x2F8\n", kLpt1, kAt2F8, kLpt3, kDelayBefore},
        LineCase{"Lpt1TrailingText", "lpt1=2f8 ; the rest is ignored\n", kAt2F8, kLpt2, kLpt3, kDelayBefore},
        LineCase{"Lpt3NoNewline", "lpt3=2F8", kLpt1, kLpt2, kAt2F8, kDelayBefore},
        LineCase{
            "AboveSixteenBits", "lpt1=12345678\n", {0x12345678, 0x12345679, 0x1234567A}, kLpt2, kLpt3, kDelayBefore},
        LineCase{
            "WrapsInThirtyTwoBits", "lpt1=FFFFFFFF\n", {-1, 0, 1}, kLpt2, kLpt3, kDelayBefore},  // wraps in 32 bits
        LineCase{"Lpt0", "lpt0=2F8\n", kLpt1, kLpt2, kLpt3, kDelayBefore},
        LineCase{"Lpt4", "lpt4=2F8\n", kLpt1, kLpt2, kLpt3, kDelayBefore},
        LineCase{"UpperCase", "LPT1=2F8\n", kLpt1, kLpt2, kLpt3, kDelayBefore},
        LineCase{"BlankBeforeEquals", "lpt1 =2F8\n", kLpt1, kLpt2, kLpt3, kDelayBefore},
        LineCase{"BlankBeforeLpt", " lpt1=2F8\n", kLpt1, kLpt2, kLpt3, kDelayBefore},
        LineCase{"NoAddress", "lpt1=\n", kLpt1, kLpt2, kLpt3, kDelayBefore},
        LineCase{"NotHex", "lpt1=xyz\n", kLpt1, kLpt2, kLpt3, kDelayBefore},
        LineCase{"Delay", "delay=100\n", kLpt1, kLpt2, kLpt3, 100},
        LineCase{"NegativeDelay", "delay=-7\n", kLpt1, kLpt2, kLpt3, 0},
        LineCase{"DelayAtItsBound", "delay=100000\n", kLpt1, kLpt2, kLpt3, 100000},
        LineCase{"DelayAboveItsBound", "delay=100001\n", kLpt1, kLpt2, kLpt3, 100000},
        LineCase{"LargestDelay", "delay=2147483647\n", kLpt1, kLpt2, kLpt3, 100000},
        LineCase{"DelayWithoutNumber", "delay=\n", kLpt1, kLpt2, kLpt3, kDelayBefore},
        LineCase{"DelayLineMentioningLpt", "delay=7 ; not for lpt1\n", kLpt1, kLpt2, kLpt3,
                 kDelayBefore},  // a port line
        LineCase{"BlankBeforeDelay", " delay=7\n", kLpt1, kLpt2, kLpt3, kDelayBefore},
        LineCase{"UpperCaseDelay", "DELAY=7\n", kLpt1, kLpt2, kLpt3, kDelayBefore},
        LineCase{"Comment", "; comment\n", kLpt1, kLpt2, kLpt3, kDelayBefore},
        LineCase{"BlankLine", "\n", kLpt1, kLpt2, kLpt3, kDelayBefore}),
    [](const ::testing::TestParamInfo<LineCase>& param) { return std::string(param.param.name); });

// How each port is reached: a device line names the port's device (up to the first
// blank) and leaves its addresses alone, an address line pins IN and OUT, and the last
// line for a port wins.
struct WayCase {
  const char* name;
  const char* lines;
  cable::PortWay lpt1Way;
  const char* lpt1Device;
  PortAddresses lpt1;
};

void PrintTo(const WayCase& c, std::ostream* os) { *os << c.name; }

class ConfigWay : public PortConfigTest, public ::testing::WithParamInterface<WayCase> {};

TEST_P(ConfigWay, NamesHowThePortIsReached) {
  const std::filesystem::path file =
      std::filesystem::path(::testing::TempDir()) / ("way_" + std::string(GetParam().name));
  std::ofstream(file, std::ios::binary) << GetParam().lines;
  cable::LoadPortConfigFile(State(), file.string());
  std::filesystem::remove(file);
  EXPECT_EQ(cable::ConfiguredPortWay(State(), 0), GetParam().lpt1Way);
  EXPECT_STREQ(cable::ConfiguredPortDevice(State(), 0), GetParam().lpt1Device);
  EXPECT_EQ(PortTableEntry(State(), 0), GetParam().lpt1);
  EXPECT_EQ(cable::ConfiguredPortWay(State(), 1), cable::PortWay::kAutomatic);
  EXPECT_EQ(PortTableEntry(State(), 1), kLpt2);
}

using cable::PortWay;
INSTANTIATE_TEST_SUITE_P(
    Ways, ConfigWay,
    ::testing::Values(
        WayCase{"NoLine", "delay=1\n", PortWay::kAutomatic, "", kLpt1},
        WayCase{"Device", "lpt1=/dev/parport1\n", PortWay::kDevice, "/dev/parport1", kLpt1},
        WayCase{"DeviceTrailingText", "lpt1=/dev/parport1 ; card\r\n", PortWay::kDevice, "/dev/parport1", kLpt1},
        WayCase{"DeviceWithoutNewline", "lpt1=/dev/p", PortWay::kDevice, "/dev/p", kLpt1},
        WayCase{"Address", "lpt1=2F8\n", PortWay::kDirect, "", kAt2F8},
        WayCase{"AddressAfterDevice", "lpt1=/dev/parport1\nlpt1=2F8\n", PortWay::kDirect, "", kAt2F8},
        WayCase{"DeviceAfterAddress", "lpt1=2F8\nlpt1=/dev/parport2\n", PortWay::kDevice, "/dev/parport2", kAt2F8},
        WayCase{"BlankBeforePath", "lpt1= /dev/parport1\n", PortWay::kAutomatic, "", kLpt1},
        WayCase{"RelativePath", "lpt1=parport1\n", PortWay::kAutomatic, "", kLpt1},
        WayCase{"OtherPortsDevice", "lpt4=/dev/parport3\nlpt0=/dev/parport3\n", PortWay::kAutomatic, "", kLpt1}),
    [](const ::testing::TestParamInfo<WayCase>& param) { return std::string(param.param.name); });

// A path longer than a line's piece is cut where the piece ends.
TEST_F(PortConfigTest, LongDevicePathEndsWithItsPiece) {
  std::string line = "lpt1=/";
  line.append(300, 'a').append("\n");
  cable::LoadPortConfigFile(State(), WriteFile(line));
  EXPECT_EQ(cable::ConfiguredPortDevice(State(), 0), std::string("/").append(249, 'a'));
}

TEST_F(PortConfigTest, DefaultDeviceOfEachPort) {
  EXPECT_EQ(cable::DefaultPortDevice(0), "/dev/parport0");
  EXPECT_EQ(cable::DefaultPortDevice(2), "/dev/parport2");
}

// Each line applied after "transfer=fast": what the mode is then.
TEST_F(PortConfigTest, TransferLinesChooseTheModeAndOthersLeaveIt) {
  const struct {
    const char* line;
    cable::TransferMode mode;
  } cases[] = {
      {"transfer=exact\n", cable::TransferMode::kExact},
      {"transfer=fast\r\n", cable::TransferMode::kFast},
      {"transfer= exact ; the default\n", cable::TransferMode::kExact},
      {"transfer=faster\n", cable::TransferMode::kFast},  // no such mode: unchanged
      {"transfer=\n", cable::TransferMode::kFast},
      {"TRANSFER=exact\n", cable::TransferMode::kFast},
      {"transfer=exact ; lpt1\n", cable::TransferMode::kFast},   // a port line
      {"delay=3 transfer=exact\n", cable::TransferMode::kFast},  // a delay line
  };
  for (const auto& c : cases) {
    const auto fresh = std::make_unique<cable::PortCableState>();
    EXPECT_EQ(cable::ConfiguredTransferMode(*fresh), cable::TransferMode::kExact);
    cable::ApplyPortConfigLine(*fresh, "transfer=fast\n");
    cable::ApplyPortConfigLine(*fresh, c.line);
    EXPECT_EQ(cable::ConfiguredTransferMode(*fresh), c.mode) << c.line;
  }
}

// Each line applied after "workarea=1000,40": the work area then (address, size).
TEST_F(PortConfigTest, WorkAreaLinesNameTheAreaAndBadOnesLeaveIt) {
  const struct {
    const char* line;
    uint32_t address;
    uint32_t size;
  } cases[] = {
      {"workarea=3FF00,100\n", 0x3FF00, 0x100},
      {"workarea=0x40000000 , 0x20\r\n", 0x40000000, 0x20},
      {"workarea=FFFFFF00,100\n", 0xFFFFFF00, 0x100},  // ends at the top of the space
      {"workarea=FFFFFF00,101\n", 0x1000, 0x40},       // past it
      {"workarea=1,0\n", 0x1000, 0x40},                // empty
      {"workarea=100000000,20\n", 0x1000, 0x40},       // more than 32 bits
      {"workarea=-20,20\n", 0x1000, 0x40},
      {"workarea=2000\n", 0x1000, 0x40},
      {"workarea=2000,20 ; spare RAM\n", 0x1000, 0x40},
      {"workarea=2000,,20\n", 0x1000, 0x40},
      {"workarea=,20\n", 0x1000, 0x40},
      {"workarea=20000,20 ; lpt1\n", 0x1000, 0x40},  // a port line
  };
  for (const auto& c : cases) {
    const auto fresh = std::make_unique<cable::PortCableState>();
    EXPECT_FALSE(cable::ConfiguredWorkArea(*fresh).has_value());
    cable::ApplyPortConfigLine(*fresh, "workarea=1000,40\n");
    cable::ApplyPortConfigLine(*fresh, c.line);
    ASSERT_TRUE(cable::ConfiguredWorkArea(*fresh).has_value()) << c.line;
    EXPECT_EQ(cable::ConfiguredWorkArea(*fresh)->address, c.address) << c.line;
    EXPECT_EQ(cable::ConfiguredWorkArea(*fresh)->size, c.size) << c.line;
  }
}

// The host's choice wins over the file until the host hands the choice back.
TEST_F(PortConfigTest, TheHostsChoiceOverridesTheFile) {
  cable::ApplyPortConfigLine(State(), "transfer=fast\n");
  cable::SetHostTransferMode(State(), VANTREL_TRANSFER_EXACT);
  EXPECT_EQ(cable::ConfiguredTransferMode(State()), cable::TransferMode::kExact);
  cable::SetHostTransferMode(State(), 7);  // not a mode: nothing changes
  EXPECT_EQ(cable::ConfiguredTransferMode(State()), cable::TransferMode::kExact);
  cable::ApplyPortConfigLine(State(), "transfer=exact\n");
  cable::SetHostTransferMode(State(), VANTREL_TRANSFER_FAST);
  EXPECT_EQ(cable::ConfiguredTransferMode(State()), cable::TransferMode::kFast);
  cable::SetHostTransferMode(State(), VANTREL_TRANSFER_AS_CONFIGURED);
  EXPECT_EQ(cable::ConfiguredTransferMode(State()), cable::TransferMode::kExact);
}

TEST_F(PortConfigTest, NullLineIsIgnored) {
  cable::ApplyPortConfigLine(State(), nullptr);
  EXPECT_EQ(PortTableEntry(State(), 0), kLpt1);
}

TEST_F(PortConfigTest, IndexOutsideTheTableHasNoAddresses) {
  EXPECT_EQ(PortTableEntry(State(), -1), (PortAddresses{0, 0, 0}));
  EXPECT_EQ(PortTableEntry(State(), 3), (PortAddresses{0, 0, 0}));
}

TEST_F(PortConfigTest, FileLinesAreAppliedInOrderAndTheLastWins) {
  cable::ApplyPortConfigLine(State(), "lpt3=2F8\n");
  cable::LoadPortConfigFile(State(), WriteFile("delay=3\nlpt2=2F8\r\n; comment\nlpt2=3F8\ndelay=9\n"));
  EXPECT_EQ(PortTableEntry(State(), 0), kLpt1);
  EXPECT_EQ(PortTableEntry(State(), 1), (PortAddresses{0x3F8, 0x3F9, 0x3FA}));
  EXPECT_EQ(PortTableEntry(State(), 2), kAt2F8);  // reading never goes back to a default
  EXPECT_EQ(cable::PortDelay(State()), 9);
}

TEST_F(PortConfigTest, LongLineIsReadInPiecesOf255Characters) {
  // The second piece begins with "lpt3=2F8" and counts as a line of its own.
  cable::LoadPortConfigFile(State(),
                            WriteFile(std::string(255, 'x') + "lpt3=2F8\n" + std::string(254, 'y') + "delay=4\n"));
  EXPECT_EQ(PortTableEntry(State(), 2), kAt2F8);
  EXPECT_EQ(cable::PortDelay(State()), 0);  // "delay=4" was cut after its first character
}

TEST_F(PortConfigTest, MissingFileChangesNothing) {
  cable::SetPortDelay(State(), kDelayBefore);
  cable::LoadPortConfigFile(State(),
                            (std::filesystem::path(::testing::TempDir()) / "no_such_dir" / "lpt.ini").string());
  cable::LoadPortConfigFile(State(), "");
  EXPECT_EQ(PortTableEntry(State(), 1), kLpt2);
  EXPECT_EQ(cable::PortDelay(State()), kDelayBefore);
}

// Only a regular file of at most 64 KiB is read, checked on the opened file: nothing in
// its place may hold the open up or feed it without end.
struct FileCase {
  const char* name;
  std::function<std::string(const std::filesystem::path& folder)> make;  // gives the path
  int32_t delay;
  const char* trace;  // the start of the trace line, or "" for none
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

class ConfigFile : public PortConfigTest, public ::testing::WithParamInterface<FileCase> {
 protected:
  static void Collect(void* context, const char* line) { static_cast<std::string*>(context)->append(line); }
};

std::string FileOfSize(const std::filesystem::path& path, std::size_t size) {
  std::string text = "delay=9\n";
  text.resize(size, '\n');
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

TEST_P(ConfigFile, IsReadOnlyWhenARegularFileOfSaneSize) {
  const std::filesystem::path folder =
      std::filesystem::path(::testing::TempDir()) / ("lpt_ini_" + std::string(GetParam().name));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::string trace;
  SetTraceSink(&Collect, &trace);
  cable::SetPortDelay(State(), kDelayBefore);
  cable::LoadPortConfigFile(State(), GetParam().make(folder));
  ResetTraceSink();
  std::filesystem::remove_all(folder);
  EXPECT_EQ(cable::PortDelay(State()), GetParam().delay);
  if (*GetParam().trace == '\0') {
    EXPECT_EQ(trace, "");
  } else {
    EXPECT_EQ(trace.substr(0, std::strlen(GetParam().trace)), GetParam().trace) << trace;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ConfigFile,
    ::testing::Values(FileCase{"OfTheLargestSize",
                               [](const auto& folder) { return FileOfSize(folder / "lpt.ini", 64 * 1024); }, 9, ""},
                      FileCase{"TooLarge",
                               [](const auto& folder) { return FileOfSize(folder / "lpt.ini", 64 * 1024 + 1); },
                               kDelayBefore, "lpt.ini not read, "},
                      FileCase{"Fifo",
                               [](const auto& folder) {
                                 const std::string path = (folder / "lpt.ini").string();
                                 EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
                                 return path;
                               },
                               kDelayBefore, "lpt.ini not read, "},
                      FileCase{"DeviceWithoutEnd", [](const auto&) { return std::string("/dev/zero"); }, kDelayBefore,
                               "lpt.ini not read, /dev/zero: not a regular file of at most 65536 bytes"},
                      FileCase{"Directory",
                               [](const auto& folder) {
                                 std::filesystem::create_directory(folder / "lpt.ini");
                                 return (folder / "lpt.ini").string();
                               },
                               kDelayBefore, "lpt.ini not read, "},
                      FileCase{"HugeDelay",
                               [](const auto& folder) {
                                 std::ofstream(folder / "lpt.ini") << "delay=2147483647\n";
                                 return (folder / "lpt.ini").string();
                               },
                               100000, "lpt.ini: delay=2147483647 is more than 100000, so it is 100000\n"}),
    [](const ::testing::TestParamInfo<FileCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace vantrel::test
