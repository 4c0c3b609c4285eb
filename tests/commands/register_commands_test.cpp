// Commands 65 and 66 through the dispatcher, with no cable: the name table and its
// matching, the answers and their lengths, and the refusals. Reads in the current mode
// come from the register cache, so a halted state needs no port here; the order of the
// accesses on the core is tested with the register cache, the values on the board.
#include <gmock/gmock.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "arm7/core_state.h"
#include "commands/dispatcher.h"
#include "commands/register_names.h"
#include "support/fresh_session.h"
#include "target/register_cache.h"
#include "target/target_state.h"

namespace vantrel::commands {
namespace {

constexpr char kInvalid[] = "invalid parameters are used";

std::string Text(const JtagResponse& response) {
  return std::string(reinterpret_cast<const char*>(response.data),
                     strnlen(reinterpret_cast<const char*>(response.data), sizeof response.data));
}

JtagRequest Request(int32_t code) {
  JtagRequest request;
  std::memset(&request, 0, sizeof request);
  request.kind = VANTREL_KIND_CABLE;
  request.code = code;
  return request;
}

void Put(char* field, const std::string& text) { std::memcpy(field, text.c_str(), text.size() + 1); }

std::vector<uint32_t> Words(const JtagResponse& response) {
  std::vector<uint32_t> words(static_cast<std::size_t>(response.length) / 4);
  std::memcpy(words.data(), response.data, words.size() * 4);
  return words;
}

class RegisterCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (uint32_t i = 0; i < 17; ++i) arm7::RegisterCache(session_.Core())[i] = 0x100 + i;
  }

  JtagResponse Dispatch(const JtagRequest& request) {
    JtagResponse response;
    std::memset(&response, 0xA5, sizeof response);
    DispatchCommand(session_.Commands(), &request, &response);
    return response;
  }

  JtagResponse WriteByName(const std::string& name, uint32_t value) {
    JtagRequest request = Request(VANTREL_CMD_WRITE_REGISTER);
    Put(request.args.writeRegister.name, name);
    request.args.writeRegister.value = value;
    return Dispatch(request);
  }

  JtagResponse ReadByMode(const std::string& mode) {
    JtagRequest request = Request(VANTREL_CMD_READ_REGISTERS);
    request.args.readRegisters.byMode = 1;
    Put(request.args.readRegisters.modeName, mode);
    return Dispatch(request);
  }

  JtagResponse ReadByNames(const std::vector<std::string>& names, int32_t count) {
    JtagRequest request = Request(VANTREL_CMD_READ_REGISTERS);
    request.args.readRegisters.byMode = 2;
    request.args.readRegisters.nameCount = count;
    for (std::size_t i = 0; i < names.size() && i < VANTREL_MAX_REGISTER_NAMES; ++i) {
      Put(request.args.readRegisters.names[i], names[i]);
    }
    return Dispatch(request);
  }

  test::FreshSession session_;
};

TEST(RegisterNameTable, HoldsEveryNameOnceAndNoUserSpsr) {
  const auto table = RegisterNameTable();
  ASSERT_EQ(table.size(), 61u);
  std::set<std::string> names;
  for (const RegisterName& row : table) {
    EXPECT_TRUE(names.insert(row.name).second) << row.name;
    EXPECT_FALSE(row.mode == 16 && row.index == 17) << row.name;
    EXPECT_EQ(std::string(row.name).find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos) << row.name;
  }
  struct Expected {
    const char* name;
    int mode, index;
  };
  for (const Expected e : {Expected{"r0", 0, 0},
                           {"sp", 0, 13},
                           {"lr", 0, 14},
                           {"pc", 0, 15},
                           {"cpsr", 0, 16},
                           {"spsr", 0, 17},
                           {"sp_usr", 16, 13},
                           {"pc_usr", 16, 15},
                           {"cpsr_usr", 16, 16},
                           {"r8_fiq", 17, 8},
                           {"spsr_fiq", 17, 17},
                           {"r14_irq", 18, 14},
                           {"r13_svc", 19, 13},
                           {"spsr_abt", 23, 17},
                           {"r13_und", 27, 13}}) {
    const RegisterName* row = FindRegisterName(e.name);
    ASSERT_NE(row, nullptr) << e.name;
    EXPECT_EQ(row->mode, e.mode) << e.name;
    EXPECT_EQ(row->index, e.index) << e.name;
  }
}

TEST(RegisterNameTable, MatchingStripsWhiteSpaceAndIgnoresCase) {
  EXPECT_STREQ(FindRegisterName("  PC  ")->name, "pc");
  EXPECT_STREQ(FindRegisterName("\t\n\v\f\r R13_Svc \r\n")->name, "r13_svc");
  for (const char* unknown : {"sp_svc", "spsr_usr", "", "   ", "r1 3", "r16", "pc\x01", "r13_svc_"}) {
    EXPECT_EQ(FindRegisterName(unknown), nullptr) << unknown;
  }
}

TEST_F(RegisterCommandsTest, ThePcNamesSetTheSavedPcInAnyState) {
  for (const char* name : {"  PC  ", "r15", "R15_USR", "pc_usr"}) {
    SCOPED_TRACE(name);
    const JtagResponse response = WriteByName(name, 0x4000);
    EXPECT_EQ(response.status, VANTREL_STATUS_OK);
    EXPECT_EQ(response.echo, VANTREL_CMD_WRITE_REGISTER);
    EXPECT_EQ(response.length, 0);
    EXPECT_EQ(target::SavedPc(session_.Target()), 0x4000u);
    target::SetSavedPc(session_.Target(), 0);
  }
}

TEST_F(RegisterCommandsTest, WriteRefusals) {
  JtagResponse response = WriteByName("r3", 1);
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(Text(response), "status error");
  EXPECT_EQ(response.length, 13);

  response = WriteByName("sp_svc", 1);
  EXPECT_EQ(Text(response), kInvalid);

  JtagRequest request = Request(VANTREL_CMD_WRITE_REGISTER);
  std::memset(request.args.writeRegister.name, 'a', sizeof request.args.writeRegister.name);
  std::memcpy(request.args.writeRegister.name, "pc", 2);  // no terminator within the field
  response = Dispatch(request);
  EXPECT_EQ(Text(response), kInvalid);
  EXPECT_EQ(target::SavedPc(session_.Target()), 0x10Fu);
}

TEST_F(RegisterCommandsTest, ModeSetsAnswerTheirLengths) {
  target::SetTargetState(session_.Target(), target::kConnected);
  struct Case {
    const char* mode;
    int32_t length;
  };
  for (const Case c :
       {Case{"usr", 68}, {"USR", 68}, {"cur", 72}, {"fiq", 32}, {"irq", 12}, {"svc", 12}, {"abt", 12}, {"Und", 12}}) {
    SCOPED_TRACE(c.mode);
    const JtagResponse response = ReadByMode(c.mode);
    EXPECT_EQ(response.status, VANTREL_STATUS_OK);
    EXPECT_EQ(response.echo, VANTREL_CMD_READ_REGISTERS);
    EXPECT_EQ(response.length, c.length);
  }
  const std::vector<uint32_t> usr = Words(ReadByMode("usr"));
  for (uint32_t i = 0; i < 17; ++i) EXPECT_EQ(usr[i], 0x100 + i) << "from the cache";
}

TEST_F(RegisterCommandsTest, ModeSetRefusals) {
  for (const char* mode : {"svc ", " cur", "sys", "", "usr\t"}) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(Text(ReadByMode(mode)), kInvalid);
  }
  JtagRequest request = Request(VANTREL_CMD_READ_REGISTERS);
  request.args.readRegisters.byMode = 1;
  std::memset(request.args.readRegisters.modeName, 'x', sizeof request.args.readRegisters.modeName);
  EXPECT_EQ(Text(Dispatch(request)), kInvalid) << "no terminator within the field";

  for (const char* mode : {"cur", "usr", "fiq"}) {
    target::SetTargetState(session_.Target(), target::kRunning);
    const JtagResponse response = ReadByMode(mode);
    EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
    EXPECT_EQ(Text(response), "status error") << mode;
  }
}

TEST_F(RegisterCommandsTest, NameListsUpToEighteen) {
  target::SetTargetState(session_.Target(), target::kHalted);
  const std::vector<std::string> eighteen(18, " r2 ");
  JtagResponse response = ReadByNames(eighteen, 18);
  EXPECT_EQ(response.status, VANTREL_STATUS_OK);
  EXPECT_EQ(response.length, 72);
  EXPECT_THAT(Words(response), ::testing::Each(0x102u));

  EXPECT_EQ(Words(ReadByNames({"lr", "SP", "r0", "cpsr"}, 4)), (std::vector<uint32_t>{0x10E, 0x10D, 0x100, 0x110}));

  response = ReadByNames(eighteen, 19);
  EXPECT_EQ(Text(response), kInvalid);
  EXPECT_EQ(response.length, 28);

  for (const int32_t count : {0, -1, -100000}) {
    response = ReadByNames(eighteen, count);
    EXPECT_EQ(response.status, VANTREL_STATUS_OK) << count;
    EXPECT_EQ(response.length, 0) << count;
  }

  response = ReadByNames({"r1", "r2", "spsr_usr", "r3"}, 4);
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(Text(response), kInvalid) << "only the message, no word already read";
  EXPECT_EQ(response.length, 28);

  target::SetTargetState(session_.Target(), target::kTargetDown);
  EXPECT_EQ(Text(ReadByNames({"r1"}, 1)), "status error");
}

}  // namespace
}  // namespace vantrel::commands
