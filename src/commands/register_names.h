// The register names the host may use in the register commands, each with the processor
// mode (0 for the current mode) and the register index it stands for.
#pragma once

#include <span>
#include <string_view>

namespace vantrel::commands {

struct RegisterName {
  const char* name;  // lower case
  int mode;          // 0 current, 16 usr, 17 fiq, 18 irq, 19 svc, 23 abt, 27 und
  int index;         // 0-15 r0 to r15, 16 CPSR, 17 SPSR
};

// The 61 rows in table order.
std::span<const RegisterName> RegisterNameTable();

// The first row whose name equals text stripped of leading and trailing white space,
// ignoring the case of ASCII letters; null when none does.
const RegisterName* FindRegisterName(std::string_view text);

// Equal ignoring the case of ASCII letters.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vantrel::commands
