// The halted core's registers as GDB sees them: the current mode's, read once a halt, and
// the banked ones of the other modes, each read when GDB first asks for it after a halt.

#include "gdb_target.h"
#include "registers_by_name.h"

namespace vantrel::gdb {

std::optional<RegisterFile> GdbTarget::Registers() {
  if (registers_) return registers_;
  const client::Answer answer = client::ReadRegistersOfMode(library_, "usr");
  if (!answer.Ok() || answer.data.size() != size_t{4} * kRegisterCount) return std::nullopt;
  RegisterFile registers{};
  for (int i = 0; i < kRegisterCount; ++i) registers[static_cast<size_t>(i)] = answer.Word(static_cast<size_t>(i));
  registers_ = registers;
  return registers_;
}

std::optional<uint32_t> GdbTarget::BankedRegister(int number) {
  const char* name = LibraryRegisterName(number);
  if (name == nullptr || number < kRegisterCount || !Halted()) return std::nullopt;
  if (const auto known = banked_.find(number); known != banked_.end()) return known->second;
  // Refused when the core halted in User mode, from which no other mode can be reached.
  const client::Answer answer = client::ReadRegistersByName(library_, {name});
  if (!answer.Ok() || answer.data.size() < 4) return std::nullopt;
  banked_[number] = answer.Word(0);
  return answer.Word(0);
}

bool GdbTarget::WriteRegister(int number, uint32_t value) {
  const char* name = LibraryRegisterName(number);
  if (name == nullptr || !Halted()) return false;
  // A register written may be one the core's next loads and stores go by, or another
  // name of one already read (sp and r13_svc in Supervisor mode): nothing read is kept.
  ForgetHaltState();
  return client::WriteRegisterByName(library_, name, value).Ok();
}

}  // namespace vantrel::gdb
