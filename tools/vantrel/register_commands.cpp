// regs and reg: registers by mode or by name (commands 66 and 65), the PC named by
// symbol and the status registers decoded.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "commands.h"
#include "halt_report.h"
#include "numbers.h"
#include "output.h"
#include "registers_by_name.h"
#include "session.h"

namespace vantrel::cli {

namespace {

struct ModeLayout {
  const char* mode;
  std::vector<const char*> names;  // the words command 66 answers, in order
};

const std::vector<ModeLayout>& ModeLayouts() {
  static const std::vector<ModeLayout> layouts = {
      {"cur",
       {"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10", "r11", "r12", "sp", "lr", "pc", "cpsr",
        "spsr"}},
      {"fiq", {"r8_fiq", "r9_fiq", "r10_fiq", "r11_fiq", "r12_fiq", "r13_fiq", "r14_fiq", "spsr_fiq"}},
      {"irq", {"r13_irq", "r14_irq", "spsr_irq"}},
      {"svc", {"r13_svc", "r14_svc", "spsr_svc"}},
      {"abt", {"r13_abt", "r14_abt", "spsr_abt"}},
      {"und", {"r13_und", "r14_und", "spsr_und"}},
  };
  return layouts;
}

// The library's mode set "usr" is the current mode's registers as the core holds them:
// out of User or System mode its sp and lr are another mode's. So "regs usr" asks for
// the User mode's registers by name, as "reg r13_usr" does, and labels what it shows.
const std::vector<const char*>& UserRegisterNames() {
  static const std::vector<const char*> names = {"r0",      "r1",      "r2",      "r3",     "r4",      "r5",
                                                 "r6",      "r7",      "r8_usr",  "r9_usr", "r10_usr", "r11_usr",
                                                 "r12_usr", "r13_usr", "r14_usr", "pc",     "cpsr"};
  return names;
}

bool IsPsrName(const std::string& name) { return name.compare(0, 4, "cpsr") == 0 || name.compare(0, 4, "spsr") == 0; }
bool IsPcName(const std::string& name) {
  return name == "pc" || name == "r15" || name == "pc_usr" || name == "r15_usr";
}
// Link registers hold return addresses: worth naming too.
bool IsLinkName(const std::string& name) { return name.compare(0, 2, "lr") == 0 || name.compare(0, 3, "r14") == 0; }

// The value with what it means: the symbol under the PC or a return address, the flags
// and mode of a PSR.
void PrintRegister(Session& session, const std::string& name, uint32_t value) {
  std::string comment;
  if (IsPcName(name) || IsLinkName(name)) comment = session.symbols().Describe(value);
  else if (IsPsrName(name)) comment = DescribePsr(value);
  PrintField(name, Hex32(value), comment);
}

client::Answer ReadByNames(Session& session, const std::vector<std::string>& names) {
  return ReadRegistersByName(session.library(), names);
}

// The words of an answer under their names, one a line; a short answer is a failure.
bool PrintWords(Session& session, const std::vector<const char*>& names, const client::Answer& answer) {
  if (!session.Check(answer)) return false;
  if (answer.data.size() != names.size() * 4) {
    return session.Fail("the library answered " + std::to_string(answer.data.size()) + " bytes, not " +
                        std::to_string(names.size() * 4));
  }
  for (size_t i = 0; i < names.size(); ++i) PrintRegister(session, names[i], answer.Word(i));
  return true;
}

bool RunUserRegs(Session& session) {
  const std::vector<const char*>& names = UserRegisterNames();
  return PrintWords(session, names, ReadByNames(session, std::vector<std::string>(names.begin(), names.end())));
}

}  // namespace

std::optional<uint32_t> ReadRegisterQuietly(Session& session, const std::string& name) {
  const client::Answer answer = ReadByNames(session, {name});
  if (!answer.Ok() || answer.data.size() < 4) return std::nullopt;
  return answer.Word(0);
}

bool RunRegs(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 1)) return false;
  const std::string mode = arguments.Positional().empty() ? "cur" : arguments.Positional()[0];
  if (mode == "usr") return RunUserRegs(session);
  const ModeLayout* layout = nullptr;
  for (const ModeLayout& candidate : ModeLayouts()) {
    if (mode == candidate.mode) layout = &candidate;
  }
  if (layout == nullptr) return session.Fail("the mode is cur, usr, fiq, irq, svc, abt or und");
  return PrintWords(session, layout->names, ReadRegistersOfMode(session.library(), mode));
}

bool RunReg(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 1, 2)) return false;
  const auto spelled = client::LibraryRegisterSpelling(arguments.Positional()[0]);
  if (!spelled) return session.Fail("register name too long");
  const std::string& name = *spelled;
  if (arguments.Positional().size() == 1) {
    const client::Answer answer = ReadByNames(session, {name});
    if (!session.Check(answer)) return false;
    PrintRegister(session, name, answer.Word(0));
    return true;
  }
  const auto value = session.ParseAddress(arguments.Positional()[1]);
  if (!value) return false;
  if (!session.Check(client::WriteRegisterByName(session.library(), name, *value))) return false;
  PrintRegister(session, name, *value);
  return true;
}

}  // namespace vantrel::cli
