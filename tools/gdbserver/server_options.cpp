// The words after `gdbserver` on the command line.
#include <cmath>
#include <cstdlib>
#include <exception>
#include <string>

#include "gdb_flash.h"
#include "gdb_server.h"

namespace vantrel::gdb {

namespace {

constexpr double kMaxClientTimeoutSeconds = 24 * 60 * 60;
constexpr const char* kServerUsage =
    "usage: vantrel [OPTIONS] gdbserver [--listen [HOST:]PORT] [--client-timeout SECONDS] [--semihosting]\n"
    "                                    [--semihosting-dir DIR] [--flash cfi@ADDRESS]...";

std::optional<int> ParseTimeoutMs(const std::string& value, std::string* error) {
  std::size_t used = 0;
  double seconds = 0;
  try {
    seconds = std::stod(value, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != value.size() || !(seconds > 0) || seconds > kMaxClientTimeoutSeconds) {
    *error = "--client-timeout takes a number of seconds above 0, at most a day";
    return std::nullopt;
  }
  return static_cast<int>(std::lround(seconds * 1000));
}

}  // namespace

std::optional<ListenAddress> ParseListenAddress(const std::string& text, std::string* error) {
  ListenAddress address;
  const size_t colon = text.rfind(':');
  std::string port = text;
  if (colon != std::string::npos) {
    address.host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (address.host.size() > 2 && address.host.front() == '[' && address.host.back() == ']') {
      address.host = address.host.substr(1, address.host.size() - 2);
    }
    if (address.host.empty()) address.host = "127.0.0.1";
  }
  char* end = port.data();
  const unsigned long number = port.empty() ? 0 : std::strtoul(port.c_str(), &end, 10);
  if (port.empty() || *end != '\0' || number == 0 || number > 65535) {
    *error = "--listen takes [HOST:]PORT with a port from 1 to 65535";
    return std::nullopt;
  }
  address.port = static_cast<uint16_t>(number);
  return address;
}

std::optional<ServerSettings> ParseServerArguments(const std::vector<std::string>& arguments, std::string* error) {
  ServerSettings settings;
  for (size_t i = 0; i < arguments.size();) {
    const std::string& name = arguments[i++];
    if (name == "--semihosting") {
      settings.semihosting = true;  // a switch: no value follows
      continue;
    }
    if ((name != "--listen" && name != "--client-timeout" && name != "--semihosting-dir" && name != "--flash") ||
        i == arguments.size()) {
      *error = kServerUsage;
      return std::nullopt;
    }
    const std::string& value = arguments[i++];
    if (name == "--semihosting-dir") {
      settings.semihostingDirectory = value;
    } else if (name == "--listen") {
      const auto listen = ParseListenAddress(value, error);
      if (!listen) return std::nullopt;
      settings.listen = *listen;
    } else if (name == "--flash") {
      const auto bank = ParseFlashOption(value, error);
      if (!bank) return std::nullopt;
      settings.flashBanks.push_back(*bank);
    } else {
      const auto timeout = ParseTimeoutMs(value, error);
      if (!timeout) return std::nullopt;
      settings.clientTimeoutMs = *timeout;
    }
  }
  return settings;
}

}  // namespace vantrel::gdb
