#include "commands/register_names.h"

#include <array>

#include "target/register_cache.h"

namespace vantrel::commands {
namespace {

// Short names keep the table below readable as a table.
constexpr int kCur = target::kCurrentMode;
constexpr int kUsr = target::kUserMode;
constexpr int kFiq = target::kFiqMode;
constexpr int kIrq = target::kIrqMode;
constexpr int kSvc = target::kSupervisorMode;
constexpr int kAbt = target::kAbortMode;
constexpr int kUnd = target::kUndefinedMode;
constexpr int kPc = target::kPcIndex;
constexpr int kCpsr = target::kCpsrIndex;
constexpr int kSpsr = target::kSpsrIndex;

// The user mode has no SPSR, so there is no spsr_usr.
constexpr std::array<RegisterName, 61> kTable{{
    {"r0", kCur, 0},           {"r1", kCur, 1},           {"r2", kCur, 2},           {"r3", kCur, 3},
    {"r4", kCur, 4},           {"r5", kCur, 5},           {"r6", kCur, 6},           {"r7", kCur, 7},
    {"r8", kCur, 8},           {"r9", kCur, 9},           {"r10", kCur, 10},         {"r11", kCur, 11},
    {"r12", kCur, 12},         {"r13", kCur, 13},         {"sp", kCur, 13},          {"r14", kCur, 14},
    {"lr", kCur, 14},          {"r15", kCur, kPc},        {"pc", kCur, kPc},         {"cpsr", kCur, kCpsr},
    {"spsr", kCur, kSpsr},

    {"r0_usr", kUsr, 0},       {"r1_usr", kUsr, 1},       {"r2_usr", kUsr, 2},       {"r3_usr", kUsr, 3},
    {"r4_usr", kUsr, 4},       {"r5_usr", kUsr, 5},       {"r6_usr", kUsr, 6},       {"r7_usr", kUsr, 7},
    {"r8_usr", kUsr, 8},       {"r9_usr", kUsr, 9},       {"r10_usr", kUsr, 10},     {"r11_usr", kUsr, 11},
    {"r12_usr", kUsr, 12},     {"r13_usr", kUsr, 13},     {"sp_usr", kUsr, 13},      {"r14_usr", kUsr, 14},
    {"lr_usr", kUsr, 14},      {"r15_usr", kUsr, kPc},    {"pc_usr", kUsr, kPc},     {"cpsr_usr", kUsr, kCpsr},

    {"r8_fiq", kFiq, 8},       {"r9_fiq", kFiq, 9},       {"r10_fiq", kFiq, 10},     {"r11_fiq", kFiq, 11},
    {"r12_fiq", kFiq, 12},     {"r13_fiq", kFiq, 13},     {"r14_fiq", kFiq, 14},     {"spsr_fiq", kFiq, kSpsr},

    {"r13_irq", kIrq, 13},     {"r14_irq", kIrq, 14},     {"spsr_irq", kIrq, kSpsr}, {"r13_svc", kSvc, 13},
    {"r14_svc", kSvc, 14},     {"spsr_svc", kSvc, kSpsr}, {"r13_abt", kAbt, 13},     {"r14_abt", kAbt, 14},
    {"spsr_abt", kAbt, kSpsr}, {"r13_und", kUnd, 13},     {"r14_und", kUnd, 14},     {"spsr_und", kUnd, kSpsr},
}};

bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Stripped(std::string_view text) {
  while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::span<const RegisterName> RegisterNameTable() { return kTable; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

const RegisterName* FindRegisterName(std::string_view text) {
  const std::string_view name = Stripped(text);
  for (const RegisterName& row : kTable) {
    if (EqualsIgnoringCase(name, row.name)) return &row;
  }
  return nullptr;
}

}  // namespace vantrel::commands
