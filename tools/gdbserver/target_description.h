// The target description GDB reads with qXfer:features:read: an ARMv4T core with the
// registers r0-r12, sp, lr, pc and cpsr, numbered 0 to 16 in that order (the order of
// the g packet), and, as a feature of their own numbered from 17, the banked registers
// of every mode and the SPSRs, which GDB reads and writes one by one (p and P).
#pragma once

#include <string_view>

namespace vantrel::gdb {

inline constexpr int kRegisterCount = 17;  // in the g packet
inline constexpr int kPcRegister = 15;
inline constexpr int kCpsrRegister = 16;
inline constexpr int kBankedRegisterCount = 27;
inline constexpr int kAllRegisterCount = kRegisterCount + kBankedRegisterCount;

std::string_view TargetDescriptionXml();
// The library's name for register number n (0 to kAllRegisterCount - 1); null beyond.
const char* LibraryRegisterName(int number);

}  // namespace vantrel::gdb
