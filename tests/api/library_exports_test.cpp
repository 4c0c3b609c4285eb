// The library as a host meets it: loaded with dlopen and driven through its exports.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/library_loader.h"
#include "support/recording_port.h"

namespace vantrel::test {
namespace {

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(library.Loaded()) << library.Error(); }

  JtagResponse Open(int32_t kind, const char* portName) {
    JtagRequest request = EmptyRequest();
    std::strncpy(request.args.open.portName, portName, sizeof request.args.open.portName);
    return library.Call(request, kind, VANTREL_CMD_OPEN);
  }

  LoadedLibrary library{VANTREL_LIBRARY_PATH};
};

TEST_F(LibraryTest, AnswersNameAndVersionByteForByte) {
  const JtagResponse name = library.Call(EmptyRequest(), VANTREL_KIND_CABLE, VANTREL_CMD_GET_NAME);
  EXPECT_EQ(name.echo, 17);
  EXPECT_EQ(name.status, 0);
  EXPECT_EQ(name.length, 8);
  EXPECT_EQ(ResponseText(name), "Vantrel");

  const JtagResponse version = library.Call(EmptyRequest(), VANTREL_KIND_CABLE, VANTREL_CMD_GET_VERSION);
  EXPECT_EQ(version.echo, 0);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.length, 5);
  EXPECT_EQ(ResponseText(version), "V1.2");
  for (std::size_t i = 4; i < sizeof version.data; ++i) ASSERT_EQ(version.data[i], 0) << "data byte " << i;
}

TEST_F(LibraryTest, RefusesCodesThatAreNotCommands) {
  const JtagResponse response = library.Call(EmptyRequest(), VANTREL_KIND_CABLE, 20);
  EXPECT_EQ(response.status, 1);
  EXPECT_EQ(response.length, 28);
  EXPECT_EQ(ResponseText(response), "invalid parameters are used");
}

TEST_F(LibraryTest, EchoesTheCodeOnlyForTheCommandsThatEchoIt) {
  struct Echo {
    int32_t code;
    int32_t echo;
  };
  const Echo table[] = {{17, 17}, {18, 0},  {19, 19}, {33, 0},  {34, 0},  {35, 35}, {36, 0},
                        {37, 0},  {38, 38}, {49, 49}, {50, 0},  {51, 0},  {65, 65}, {66, 66},
                        {67, 67}, {81, 81}, {82, 82}, {83, 81}, {84, 82}, {85, 0},  {86, 0}};
  for (const Echo& row : table) {
    EXPECT_EQ(library.Call(EmptyRequest(), VANTREL_KIND_CABLE, row.code).echo, row.echo) << "code " << row.code;
  }
}

TEST_F(LibraryTest, OtherKindsAreServedOnlyForNameAndVersion) {
  const JtagResponse name = library.Call(EmptyRequest(), 2, VANTREL_CMD_GET_NAME);
  EXPECT_EQ(name.echo, 17);
  EXPECT_EQ(ResponseText(name), "Vantrel");

  const JtagResponse connect = library.Call(EmptyRequest(), 2, VANTREL_CMD_CONNECT);
  EXPECT_EQ(connect.echo, 0);
  EXPECT_EQ(connect.status, 1);
  EXPECT_EQ(connect.length, 0);
  for (unsigned char byte : connect.data) ASSERT_EQ(byte, 0);
}

TEST_F(LibraryTest, NullPointersAreHandled) {
  library.Dll_Jtag_Entry(nullptr, nullptr);
  JtagRequest request = EmptyRequest();
  request.kind = VANTREL_KIND_CABLE;
  request.code = VANTREL_CMD_GET_NAME;
  library.Dll_Jtag_Entry(&request, nullptr);

  JtagResponse response;
  std::memset(&response, 0xA5, sizeof response);
  library.Dll_Jtag_Entry(nullptr, &response);
  EXPECT_EQ(response.status, 1);
  EXPECT_EQ(ResponseText(response), "invalid parameters are used");
}

TEST_F(LibraryTest, OpensTheCableWherePortAndKindNamesAllow) {
  RecordingPort lpt1(0x378);
  VantrelPortIo io = lpt1.Io();
  library.VantrelUsePortIo(&io);
  const JtagResponse opened = Open(VANTREL_KIND_CABLE, "lpt1");
  EXPECT_EQ(opened.echo, 19);
  EXPECT_EQ(opened.status, 0);
  EXPECT_EQ(opened.length, 0);

  const JtagResponse missing = Open(VANTREL_KIND_CABLE, "lpt2");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(ResponseText(missing), "emulator not found, please check power and hardware connection");

  const JtagResponse unknownPort = Open(VANTREL_KIND_CABLE, "lpt4");
  EXPECT_EQ(unknownPort.status, 1);
  EXPECT_EQ(ResponseText(unknownPort), "invalid parameters are used");

  const JtagResponse simulator = Open(VANTREL_KIND_SIMULATOR, "lpt1");
  EXPECT_EQ(simulator.echo, 19);
  EXPECT_EQ(simulator.status, 1);
  EXPECT_EQ(simulator.length, 0);
  library.VantrelUsePortIo(nullptr);
}

TEST_F(LibraryTest, PortNamesIgnoreCase) {
  RecordingPort lpt2(0x3BC);
  VantrelPortIo io = lpt2.Io();
  library.VantrelUsePortIo(&io);
  EXPECT_EQ(Open(VANTREL_KIND_CABLE, "LPT2").status, 0);
  library.VantrelUsePortIo(nullptr);
}

TEST_F(LibraryTest, PortNameWithoutTerminatorMatchesNothing) {
  JtagRequest request = EmptyRequest();
  std::memset(request.args.open.portName, 'l', sizeof request.args.open.portName);
  std::memcpy(request.args.open.portName, "lpt1", 4);
  // The cable kind finds no such port; the simulator kind is refused before any port
  // name matters, so it answers without a message as with a proper name.
  struct Case {
    int32_t kind;
    int32_t length;
    const char* text;
  };
  for (const Case c :
       {Case{VANTREL_KIND_CABLE, 28, "invalid parameters are used"}, Case{VANTREL_KIND_SIMULATOR, 0, ""}}) {
    const JtagResponse response = library.Call(request, c.kind, VANTREL_CMD_OPEN);
    EXPECT_EQ(response.echo, VANTREL_CMD_OPEN) << "kind " << c.kind;
    EXPECT_EQ(response.status, 1) << "kind " << c.kind;
    EXPECT_EQ(response.length, c.length) << "kind " << c.kind;
    EXPECT_EQ(ResponseText(response), c.text) << "kind " << c.kind;
  }
}

TEST_F(LibraryTest, ProgressAndResultExportsAnswerAtLoadValues) {
  EXPECT_EQ(library.getJtagProcess(), 0);
  EXPECT_EQ(library.jtagGetLastError(), 1);
  library.setJtagProcessBreak();
  library.jtagClearLastError();
  EXPECT_EQ(library.jtagGetLastError(), 1);
  EXPECT_EQ(library.getDbgStatus(1), -1);  // no cable selected
  // Nothing opened, TAP never reset: every status bit reads as set.
  EXPECT_EQ(library.getDbgStatus(0), 0x00FF0011);
}

TEST_F(LibraryTest, UnloadTouchesNoPortWhenNoCableWasFound) {
  RecordingPort port(0x378);
  VantrelPortIo io = port.Io();
  library.VantrelUsePortIo(&io);
  library.Unload();
  EXPECT_EQ(port.Trace(), "");
}

TEST_F(LibraryTest, UnloadLeavesASelectedCableInTestLogicReset) {
  RecordingPort port(0x378);
  VantrelPortIo io = port.Io();
  library.VantrelUsePortIo(&io);
  ASSERT_EQ(Open(VANTREL_KIND_CABLE, "lpt1").status, 0);
  port.ClearLog();
  library.Unload();
  std::string eightResetCycles;
  for (int i = 0; i < 8; ++i) eightResetCycles += std::string(i ? " " : "") + "W0B R W0F W0B";
  EXPECT_EQ(port.Trace(), eightResetCycles);
}

}  // namespace
}  // namespace vantrel::test
