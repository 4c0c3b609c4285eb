#include "background_job.h"

#include <time.h>

namespace vantrel::client {

namespace {

// Half a millisecond: the end of a job is noticed at once, at a negligible cost, since
// jtagGetLastError takes no lock and touches no port.
constexpr long kPollNanoseconds = 500000;

void PauseBetweenPolls() {
  const timespec pause{0, kPollNanoseconds};
  nanosleep(&pause, nullptr);
}

}  // namespace

int WaitForJob(const Library& library, const JobWatcher& watcher) {
  bool breakRequested = false;
  int result = kJobRunning;
  while ((result = library.LastJobResult()) == kJobRunning) {
    if (watcher && !watcher(library.Progress()) && !breakRequested) {
      breakRequested = true;
      library.RequestBreak();
    }
    PauseBetweenPolls();
  }
  return result;
}

}  // namespace vantrel::client
