// The target description GDB reads with qXfer:features:read: an ARMv4T core with the
// registers r0-r12, sp, lr, pc and cpsr, numbered 0 to 16 in that order (the order of
// the g packet).
#pragma once

#include <string_view>

namespace vantrel::gdb {

inline constexpr int kRegisterCount = 17;
inline constexpr int kPcRegister = 15;
inline constexpr int kCpsrRegister = 16;

std::string_view TargetDescriptionXml();
// The library's name for register number n (0 to 16).
const char* LibraryRegisterName(int number);

}  // namespace vantrel::gdb
