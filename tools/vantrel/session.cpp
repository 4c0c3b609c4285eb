#include "session.h"

#include <cstdio>
#include <exception>
#include <new>

#include "address_expression.h"
#include "commands.h"
#include "interrupt.h"
#include "numbers.h"

namespace vantrel::cli {

Session::Session(const client::Library& library, SessionSettings settings)
    : library_(library),
      settings_(std::move(settings)),
      softwareBreakpoints_(library, [this](const std::string& message) { Fail(message); }),
      flash_(library) {}

bool Session::Execute(const Words& words) {
  if (words.empty()) return true;
  command_ = words[0];
  const CommandInfo* command = FindCommand(words[0]);
  if (command == nullptr) return Fail("unknown command (try help)");
  bool ok = false;
  const CommandInProgress running;
  // The last line of defence: whatever a command throws fails that command, never the session.
  try {
    Arguments arguments(Words(words.begin() + 1, words.end()));
    ok = command->handler(*this, arguments);
  } catch (const std::bad_alloc&) {
    ok = Fail("out of memory");
  } catch (const std::exception& exception) {
    ok = Fail(std::string("internal error: ") + exception.what());
  }
  std::fflush(stdout);
  return ok;
}

bool Session::Check(const client::Answer& answer) { return answer.Ok() || Fail(answer.Reason()); }

bool Session::Fail(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "vantrel: %s: %s\n", command_.c_str(), message.c_str());
  std::fflush(stderr);
  return false;
}

void Session::Warn(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "vantrel: %s: warning: %s\n", command_.c_str(), message.c_str());
  std::fflush(stderr);
}

std::optional<uint32_t> Session::ParseAddress(const std::string& word) {
  std::string error;
  const auto address = ParseAddressExpression(word, symbols_, &error);
  if (!address) Fail(error);
  return address;
}

std::optional<uint32_t> Session::ParseCount(const std::string& word, const char* what) {
  const auto number = ParseNumber(word);
  if (!number) Fail(std::string("bad ") + what + " '" + word + "' (a number: 0x hex or decimal)");
  return number;
}

std::string Session::Describe(uint32_t address) const {
  const std::string name = symbols_.Describe(address);
  return name.empty() ? Hex32(address) : Hex32(address) + "  " + name;
}

}  // namespace vantrel::cli
