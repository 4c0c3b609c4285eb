// Register commands: a register written by name (65), and registers read by the name of
// a processor mode or by a list of names (66).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "commands/answer.h"
#include "commands/command_state.h"
#include "commands/commands.h"
#include "commands/register_names.h"
#include "target/register_cache.h"

namespace vantrel::commands {
namespace {

using target::ReadRegister;

constexpr std::array kRegisterAnswers{
    ResultAnswer{kStatusError, VANTREL_STATUS_FAILED, message::kStatusError},
    ResultAnswer{kInvalidParameters, VANTREL_STATUS_FAILED, message::kInvalidParameters},
};

constexpr target::Preserve kPreserve = target::Preserve::kLowRegisters;
constexpr target::Preserve kNoPreserve = target::Preserve::kNothing;
constexpr int kMaxWords = 18;

// One fixed set of command 66: the registers a mode name stands for.
struct ModeSet {
  const char* name;
  int mode;
  target::Preserve preserve;
  std::array<int, kMaxWords> indexes;
  int count;
  // "usr" and "cur" go on after a failed read unless the core refused the reads as such.
  bool goOnAfterFailure;
};

constexpr std::array kModeSets{
    ModeSet{
        "usr", target::kCurrentMode, kPreserve, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 17, true},
    ModeSet{"irq", target::kIrqMode, kNoPreserve, {13, 14, 17}, 3, false},
    ModeSet{"fiq", target::kFiqMode, kNoPreserve, {8, 9, 10, 11, 12, 13, 14, 17}, 8, false},
    ModeSet{"svc", target::kSupervisorMode, kNoPreserve, {13, 14, 17}, 3, false},
    ModeSet{"cur",
            target::kCurrentMode,
            kPreserve,
            {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17},
            18,
            true},
    ModeSet{"abt", target::kAbortMode, kNoPreserve, {13, 14, 17}, 3, false},
    ModeSet{"und", target::kUndefinedMode, kNoPreserve, {13, 14, 17}, 3, false},
};

// The words of an answer, each as a 32-bit little-endian value.
class RegisterWords {
 public:
  void Add(uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) bytes_[size_++] = static_cast<unsigned char>(word >> shift);
  }
  void AnswerWith(JtagResponse& response) const { AnswerBytes(response, bytes_.data(), size_); }

 private:
  std::array<unsigned char, sizeof(uint32_t) * kMaxWords> bytes_{};
  std::size_t size_ = 0;
};

bool EndsCommand(ResultCode result) { return result == kStatusError || result == kInvalidParameters; }

void AnswerInvalid(JtagResponse& response) { AnswerText(response, VANTREL_STATUS_FAILED, message::kInvalidParameters); }

// The names of the PC only move the saved PC, in any state: the core takes it when it
// is next resumed.
ResultCode WriteRegisterByName(target::TargetLayerState& target, std::string_view name, uint32_t value) {
  const RegisterName* row = FindRegisterName(name);
  if (row == nullptr) return kInvalidParameters;
  if (row->index == target::kPcIndex) {
    target::SetSavedPc(target, value);
    return kOk;
  }
  return target::WriteRegister(target, row->mode, row->index, value);
}

const ModeSet* FindModeSet(std::string_view modeName) {
  for (const ModeSet& set : kModeSets) {
    if (EqualsIgnoringCase(modeName, set.name)) return &set;
  }
  return nullptr;
}

void ReadRegistersByMode(target::TargetLayerState& target, const ModeSet& set, JtagResponse& response) {
  RegisterWords words;
  ResultCode result = kOk;
  for (int i = 0; i < set.count; ++i) {
    uint32_t word = 0;
    result = ReadRegister(target, set.mode, set.indexes[static_cast<std::size_t>(i)], word, set.preserve);
    const bool stop = set.goOnAfterFailure ? EndsCommand(result) : result != kOk;
    if (stop) break;
    words.Add(word);
  }
  if (result == kOk) {
    words.AnswerWith(response);
  } else {
    AnswerResult(response, result, kRegisterAnswers);
  }
}

void ReadRegistersByNames(target::TargetLayerState& target, const VantrelReadRegistersArgs& args,
                          JtagResponse& response) {
  if (args.nameCount > VANTREL_MAX_REGISTER_NAMES) {
    AnswerInvalid(response);
    return;
  }
  RegisterWords words;
  for (int i = 0; i < args.nameCount; ++i) {
    std::string_view name;
    const RegisterName* row = ReadTextField(args.names[i], name) ? FindRegisterName(name) : nullptr;
    if (row == nullptr) {
      AnswerInvalid(response);
      return;
    }
    uint32_t word = 0;
    const ResultCode result = ReadRegister(target, row->mode, row->index, word, kPreserve);
    if (EndsCommand(result)) {
      AnswerResult(response, result, kRegisterAnswers);
      return;
    }
    words.Add(word);
  }
  words.AnswerWith(response);
}

}  // namespace

void WriteRegisterCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response) {
  const VantrelWriteRegisterArgs& args = request.args.writeRegister;
  std::string_view name;
  const ResultCode result =
      ReadTextField(args.name, name) ? WriteRegisterByName(commands.target, name, args.value) : kInvalidParameters;
  AnswerResult(response, result, kRegisterAnswers);
}

void ReadRegistersCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response) {
  const VantrelReadRegistersArgs& args = request.args.readRegisters;
  if (args.byMode != 1) {
    ReadRegistersByNames(commands.target, args, response);
    return;
  }
  // Mode names are compared as they stand, white space included.
  std::string_view modeName;
  const ModeSet* set = ReadTextField(args.modeName, modeName) ? FindModeSet(modeName) : nullptr;
  if (set == nullptr) {
    AnswerInvalid(response);
    return;
  }
  ReadRegistersByMode(commands.target, *set, response);
}

}  // namespace vantrel::commands
