#include "target_description.h"

#include <string>

namespace vantrel::gdb {

namespace {

// GDB's register numbers in order, by the names the library takes.
constexpr const char* kNames[kAllRegisterCount] = {
    "r0",      "r1",       "r2",      "r3",      "r4",       "r5",      "r6",      "r7",       "r8",
    "r9",      "r10",      "r11",     "r12",     "r13",      "lr",      "pc",      "cpsr",     "r8_usr",
    "r9_usr",  "r10_usr",  "r11_usr", "r12_usr", "r13_usr",  "r14_usr", "r8_fiq",  "r9_fiq",   "r10_fiq",
    "r11_fiq", "r12_fiq",  "r13_fiq", "r14_fiq", "spsr_fiq", "r13_irq", "r14_irq", "spsr_irq", "r13_svc",
    "r14_svc", "spsr_svc", "r13_abt", "r14_abt", "spsr_abt", "r13_und", "r14_und", "spsr_und"};

std::string BuildXml() {
  std::string xml =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE target SYSTEM \"gdb-target.dtd\">\n"
      "<target version=\"1.0\">\n"
      "<architecture>armv4t</architecture>\n"
      "<feature name=\"org.gnu.gdb.arm.core\">\n";
  for (int i = 0; i < kRegisterCount; ++i) {
    // GDB knows r13 as sp; sp and pc carry their types.
    const std::string name = i == 13 ? "sp" : kNames[i];
    xml.append("<reg name=\"").append(name).append("\" bitsize=\"32\"");
    if (i == 0 || i == kCpsrRegister) xml.append(" regnum=\"").append(std::to_string(i)).append("\"");
    if (i == 13) xml.append(" type=\"data_ptr\"");
    if (i == kPcRegister) xml.append(" type=\"code_ptr\"");
    xml.append("/>\n");
  }
  // Out of GDB's general group (info registers) and of what a `call` saves and restores:
  // each costs a mode switch on the core, and no called function changes them.
  xml.append("</feature>\n<feature name=\"org.vantrel.arm.banked\">\n");
  for (int i = kRegisterCount; i < kAllRegisterCount; ++i) {
    xml.append("<reg name=\"").append(kNames[i]).append("\" bitsize=\"32\"");
    if (i == kRegisterCount) xml.append(" regnum=\"").append(std::to_string(i)).append("\"");
    xml.append(" group=\"system\" save-restore=\"no\"/>\n");
  }
  xml.append("</feature>\n</target>\n");
  return xml;
}

}  // namespace

std::string_view TargetDescriptionXml() {
  static const std::string xml = BuildXml();
  return xml;
}

const char* LibraryRegisterName(int number) {
  return number >= 0 && number < kAllRegisterCount ? kNames[number] : nullptr;
}

}  // namespace vantrel::gdb
