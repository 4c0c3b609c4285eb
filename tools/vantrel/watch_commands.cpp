// watch and unwatch: data watchpoints on the core's watchpoint units, which the
// library lends while the breakpoints leave one free.
#include <cstdio>

#include "commands.h"
#include "numbers.h"
#include "session.h"
#include "watch_units.h"

namespace vantrel::cli {
namespace {

constexpr uint32_t kDefaultLength = 4;

void PrintWatchpoint(Session& session, const Watchpoint& watch) {
  std::printf("%-9s %s  %u byte%s\n", client::WatchKindName(watch.access), session.Describe(watch.address).c_str(),
              watch.length, watch.length == 1 ? "" : "s");
}

bool ListWatchpoints(Session& session) {
  for (const auto& [unit, watch] : session.watchpoints()) PrintWatchpoint(session, watch);
  if (session.watchpoints().empty()) std::printf("no watchpoints\n");
  return true;
}

bool RemoveWatchpoint(Session& session, int32_t unit) {
  if (!session.Check(client::ClearUnit(session.library(), unit))) return false;
  std::printf("deleted   watchpoint %s\n", session.Describe(session.watchpoints()[unit].address).c_str());
  session.watchpoints().erase(unit);
  return true;
}

// The optional LENGTH and kind, in either order.
bool ParseLengthAndKind(Session& session, const std::vector<std::string>& words, Watchpoint* watch) {
  for (size_t i = 1; i < words.size(); ++i) {
    if (const auto kind = client::ParseWatchKind(words[i])) {
      watch->access = *kind;
      continue;
    }
    const auto length = session.ParseCount(words[i], "length");
    if (!length) return false;
    watch->length = *length;
  }
  return true;
}

}  // namespace

bool RunWatch(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 3)) return false;
  const std::vector<std::string>& words = arguments.Positional();
  if (words.empty()) return ListWatchpoints(session);
  const auto address = session.ParseAddress(words[0]);
  if (!address) return false;
  Watchpoint watch{*address, kDefaultLength, VANTREL_WATCH_WRITE};
  if (!ParseLengthAndKind(session, words, &watch)) return false;
  client::WatchSpan span;
  const std::string wrong = client::WatchSpanFor(watch.address, watch.length, &span);
  if (!wrong.empty()) return session.Fail(wrong);
  const client::Answer answer = client::SetWatchpoint(session.library(), span, watch.access);
  if (!session.Check(answer)) return false;
  session.watchpoints()[static_cast<int32_t>(answer.Word(0))] = watch;
  PrintWatchpoint(session, watch);
  return true;
}

bool RunUnwatch(Session& session, Arguments& arguments) {
  const bool all = arguments.Flag("--all");
  const size_t wanted = all ? 0 : 1;
  if (!ExpectPositional(session, arguments, wanted, wanted)) return false;
  if (all) {
    while (!session.watchpoints().empty()) {
      if (!RemoveWatchpoint(session, session.watchpoints().begin()->first)) return false;
    }
    return true;
  }
  const auto address = session.ParseAddress(arguments.Positional()[0]);
  if (!address) return false;
  for (const auto& [unit, watch] : session.watchpoints()) {
    if (watch.address == *address) return RemoveWatchpoint(session, unit);
  }
  return session.Fail("no watchpoint at " + Hex32(*address));
}

}  // namespace vantrel::cli
