#include "watch_units.h"

#include <cstring>

namespace vantrel::client {
namespace {

constexpr uint32_t kLargestBlock = 0x80000000u;
constexpr uint32_t kWordBytes = 4;

bool PowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

std::string WatchSpanFor(uint32_t address, uint32_t length, WatchSpan* span) {
  if (!PowerOfTwo(length) || length > kLargestBlock) {
    return "the length must be 1, 2, 4 or a larger power of two";
  }
  if ((address & (length - 1)) != 0) return "the address must be a multiple of the length";
  span->address = address;
  span->ignoredBits = length <= kWordBytes ? 0 : length - 1;
  span->size = length <= kWordBytes ? static_cast<int32_t>(length) : 0;
  return "";
}

std::optional<int32_t> ParseWatchKind(const std::string& word) {
  if (word == "r" || word == "read") return VANTREL_WATCH_READ;
  if (word == "w" || word == "write") return VANTREL_WATCH_WRITE;
  if (word == "a" || word == "access") return VANTREL_WATCH_ACCESS;
  return std::nullopt;
}

const char* WatchKindName(int32_t access) {
  switch (access) {
    case VANTREL_WATCH_READ: return "read";
    case VANTREL_WATCH_ACCESS: return "access";
    default: return "write";
  }
}

Answer SetWatchpoint(const Library& library, const WatchSpan& span, int32_t access, int32_t placement) {
  JtagRequest request = EmptyRequest();
  request.args.watchpoint.address = span.address;
  request.args.watchpoint.ignoredBits = span.ignoredBits;
  request.args.watchpoint.size = span.size;
  request.args.watchpoint.access = access;
  request.args.watchpoint.placement = placement;
  return library.Call(request, VANTREL_CMD_SET_WATCHPOINT);
}

Answer SetUnitBreak(const Library& library, uint32_t address, int32_t placement) {
  JtagRequest request = EmptyRequest();
  request.args.unitBreak.address = address;
  request.args.unitBreak.placement = placement;
  return library.Call(request, VANTREL_CMD_SET_UNIT_BREAK);
}

Answer ClearUnit(const Library& library, int32_t unit) {
  JtagRequest request = EmptyRequest();
  request.args.unit.unit = unit;
  return library.Call(request, VANTREL_CMD_CLEAR_UNIT);
}

std::optional<VantrelStopReason> GetStopReason(const Library& library) {
  const Answer answer = library.Call(EmptyRequest(), VANTREL_CMD_GET_STOP_REASON);
  if (!answer.Ok() || answer.data.size() != sizeof(VantrelStopReason)) return std::nullopt;
  VantrelStopReason reason{};
  std::memcpy(&reason, answer.data.data(), sizeof reason);
  return reason;
}

}  // namespace vantrel::client
