#include "target_description.h"

namespace vantrel::gdb {

std::string_view TargetDescriptionXml() {
  static constexpr std::string_view kXml =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE target SYSTEM \"gdb-target.dtd\">\n"
      "<target version=\"1.0\">\n"
      "<architecture>armv4t</architecture>\n"
      "<feature name=\"org.gnu.gdb.arm.core\">\n"
      "<reg name=\"r0\" bitsize=\"32\" regnum=\"0\"/>\n"
      "<reg name=\"r1\" bitsize=\"32\"/>\n"
      "<reg name=\"r2\" bitsize=\"32\"/>\n"
      "<reg name=\"r3\" bitsize=\"32\"/>\n"
      "<reg name=\"r4\" bitsize=\"32\"/>\n"
      "<reg name=\"r5\" bitsize=\"32\"/>\n"
      "<reg name=\"r6\" bitsize=\"32\"/>\n"
      "<reg name=\"r7\" bitsize=\"32\"/>\n"
      "<reg name=\"r8\" bitsize=\"32\"/>\n"
      "<reg name=\"r9\" bitsize=\"32\"/>\n"
      "<reg name=\"r10\" bitsize=\"32\"/>\n"
      "<reg name=\"r11\" bitsize=\"32\"/>\n"
      "<reg name=\"r12\" bitsize=\"32\"/>\n"
      "<reg name=\"sp\" bitsize=\"32\" type=\"data_ptr\"/>\n"
      "<reg name=\"lr\" bitsize=\"32\"/>\n"
      "<reg name=\"pc\" bitsize=\"32\" type=\"code_ptr\"/>\n"
      "<reg name=\"cpsr\" bitsize=\"32\" regnum=\"16\"/>\n"
      "</feature>\n"
      "</target>\n";
  return kXml;
}

const char* LibraryRegisterName(int number) {
  static const char* const kNames[kRegisterCount] = {"r0", "r1",  "r2",  "r3",  "r4",  "r5", "r6", "r7",  "r8",
                                                     "r9", "r10", "r11", "r12", "r13", "lr", "pc", "cpsr"};
  return number >= 0 && number < kRegisterCount ? kNames[number] : nullptr;
}

}  // namespace vantrel::gdb
