#include "registers_by_name.h"

#include <cctype>
#include <cstdio>

namespace vantrel::client {

std::optional<std::string> LibraryRegisterSpelling(const std::string& name) {
  if (name.size() >= VANTREL_TEXT_FIELD_SIZE) return std::nullopt;
  std::string spelled = name;
  for (char& c : spelled) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return spelled;
}

Answer ReadRegistersByName(const Library& library, const std::vector<std::string>& names) {
  JtagRequest request = EmptyRequest();
  request.args.readRegisters.byMode = 0;
  request.args.readRegisters.nameCount = static_cast<int32_t>(names.size());
  for (size_t i = 0; i < names.size() && i < VANTREL_MAX_REGISTER_NAMES; ++i) {
    std::snprintf(request.args.readRegisters.names[i], VANTREL_TEXT_FIELD_SIZE, "%s", names[i].c_str());
  }
  return library.Call(request, VANTREL_CMD_READ_REGISTERS);
}

Answer ReadRegistersOfMode(const Library& library, const std::string& mode) {
  JtagRequest request = EmptyRequest();
  request.args.readRegisters.byMode = 1;
  std::snprintf(request.args.readRegisters.modeName, VANTREL_TEXT_FIELD_SIZE, "%s", mode.c_str());
  return library.Call(request, VANTREL_CMD_READ_REGISTERS);
}

Answer WriteRegisterByName(const Library& library, const std::string& name, uint32_t value) {
  JtagRequest request = EmptyRequest();
  std::snprintf(request.args.writeRegister.name, VANTREL_TEXT_FIELD_SIZE, "%s", name.c_str());
  request.args.writeRegister.value = value;
  return library.Call(request, VANTREL_CMD_WRITE_REGISTER);
}

}  // namespace vantrel::client
