#include "board/interrupt_timer.h"

#include <cerrno>
#include <cstdlib>

namespace vsim {
namespace {

constexpr unsigned long kLongestPeriod = 1000000000UL;

bool ParseLine(const std::string& name, InterruptLine* line) {
  if (name == "irq") *line = InterruptLine::kIrq;
  else if (name == "fiq") *line = InterruptLine::kFiq;
  else return false;
  return true;
}

}  // namespace

std::string ParseTimerOption(const std::string& text, TimerConfig* config) {
  const std::string::size_type colon = text.find(':');
  const std::string period = text.substr(0, colon);
  TimerConfig parsed;
  if (colon != std::string::npos && !ParseLine(text.substr(colon + 1), &parsed.line)) {
    return "the timer's line must be irq or fiq: " + text;
  }
  char* end = nullptr;
  errno = 0;
  const unsigned long value = period.empty() || period[0] == '-' ? 0 : std::strtoul(period.c_str(), &end, 10);
  if (end == nullptr || *end != '\0' || errno != 0 || value == 0 || value > kLongestPeriod) {
    return "the timer's period must be 1 to 1000000000 instructions: " + text;
  }
  parsed.period = static_cast<uint32_t>(value);
  *config = parsed;
  return "";
}

void InterruptTimer::Configure(const TimerConfig& config) {
  config_ = config;
  count_ = 0;
  pending_ = false;
}

void InterruptTimer::Tick() {
  if (config_.period == 0) return;
  if (++count_ < config_.period) return;
  count_ = 0;
  pending_ = true;
}

}  // namespace vsim
