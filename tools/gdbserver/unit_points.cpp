#include "unit_points.h"

#include <cstdio>

#include "watch_units.h"

namespace vantrel::gdb {
namespace {

constexpr int32_t kUnit0 = 0;
constexpr int32_t kUnit1 = 1;

int32_t WatchAccessOf(PointType type) {
  switch (type) {
    case PointType::kRead: return VANTREL_WATCH_READ;
    case PointType::kAccess: return VANTREL_WATCH_ACCESS;
    default: return VANTREL_WATCH_WRITE;
  }
}

const char* StopWord(PointType type) {
  switch (type) {
    case PointType::kRead: return "rwatch";
    case PointType::kAccess: return "awatch";
    default: return "watch";
  }
}

}  // namespace

bool PointTypeOf(char type, PointType* pointType) {
  switch (type) {
    case '1': *pointType = PointType::kBreak; return true;
    case '2': *pointType = PointType::kWrite; return true;
    case '3': *pointType = PointType::kRead; return true;
    case '4': *pointType = PointType::kAccess; return true;
    default: return false;
  }
}

bool UnitPoints::Place(const UnitPoint& point, int32_t placement, std::string* error) {
  client::Answer answer;
  if (point.type == PointType::kBreak) {
    answer = client::SetUnitBreak(library_, point.address, placement);
  } else {
    client::WatchSpan span;
    const std::string wrong = client::WatchSpanFor(point.address, point.length, &span);
    if (!wrong.empty()) {
      if (error != nullptr) *error = "a watchpoint unit cannot watch this span: " + wrong;
      return false;
    }
    answer = client::SetWatchpoint(library_, span, WatchAccessOf(point.type), placement);
  }
  if (!answer.Ok()) {
    if (error != nullptr) *error = answer.Reason();
    return false;
  }
  points_[static_cast<int32_t>(answer.Word(0))] = point;
  return true;
}

bool UnitPoints::Insert(const UnitPoint& point, bool patternsPlanted, std::string* error) {
  if (Contains(point)) return true;
  return Place(point, patternsPlanted ? VANTREL_PLACE_UNIT0 : VANTREL_PLACE_ANY, error);
}

bool UnitPoints::Remove(const UnitPoint& point) {
  for (const auto& [unit, held] : points_) {
    if (held != point) continue;
    if (!client::ClearUnit(library_, unit).Ok()) return false;
    points_.erase(unit);
    return true;
  }
  return true;
}

bool UnitPoints::Contains(const UnitPoint& point) const {
  for (const auto& [unit, held] : points_) {
    if (held == point) return true;
  }
  return false;
}

bool UnitPoints::FreeDetectorUnit() {
  const auto onDetector = points_.find(kUnit1);
  if (onDetector == points_.end()) return true;
  if (points_.count(kUnit0) != 0) return false;
  const UnitPoint moved = onDetector->second;
  if (!client::ClearUnit(library_, kUnit1).Ok()) return false;
  points_.erase(kUnit1);
  if (Place(moved, VANTREL_PLACE_UNIT0, nullptr)) return true;
  // Unit 0 holds the hardware breakpoint: the point stays where it was.
  (void)Place(moved, VANTREL_PLACE_UNIT1, nullptr);
  return false;
}

bool UnitPoints::BreakAt(uint32_t pc) const { return Contains({PointType::kBreak, pc, 0}); }

bool UnitPoints::Lift(uint32_t pc) {
  for (const auto& [unit, held] : points_) {
    if (held.type != PointType::kBreak || held.address != pc) continue;
    if (!client::ClearUnit(library_, unit).Ok()) return false;
    lifted_[unit] = held;
    points_.erase(unit);
    return true;
  }
  return true;
}

void UnitPoints::PutBackLifted(bool patternsPlanted) {
  for (const auto& [unit, point] : lifted_) {
    std::string error;
    if (!Insert(point, patternsPlanted, &error)) {
      std::fprintf(stderr, "vantrel: gdbserver: a hardware breakpoint could not be set again: %s\n", error.c_str());
    }
  }
  lifted_.clear();
}

std::string UnitPoints::StopDetail() const {
  const auto reason = client::GetStopReason(library_);
  if (!reason || reason->reason != VANTREL_STOP_WATCHPOINT) return "";
  const auto point = points_.find(reason->unit);
  if (point == points_.end() || point->second.type == PointType::kBreak) return "";
  char detail[32];
  std::snprintf(detail, sizeof detail, "%s:%x;", StopWord(point->second.type), point->second.address);
  return detail;
}

void UnitPoints::TakeOutAll() {
  for (const auto& [unit, point] : points_) (void)client::ClearUnit(library_, unit);
  Forget();
}

}  // namespace vantrel::gdb
