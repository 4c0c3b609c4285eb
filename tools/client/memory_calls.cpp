#include "memory_calls.h"

namespace vantrel::client {

namespace {

// The library reads and writes word by word; the ends a transfer only partly covers are
// merged by the library itself.
constexpr int32_t kWordAccessBytes = 4;

// Issues the command and, when it runs in the background, follows its job to the end.
TransferResult Transfer(const Library& library, const JtagRequest& request, int32_t code, bool background,
                        const JobWatcher& watcher) {
  TransferResult result;
  if (background) library.ClearLastJobResult();
  result.answer = library.Call(request, code);
  if (!result.answer.Ok()) return result;
  if (!background) {
    result.end = TransferEnd::kDone;
    return result;
  }
  bool stopAsked = false;
  const JobWatcher noting = [&](int percent) {
    if (!watcher(percent)) stopAsked = true;
    return !stopAsked;
  };
  result.jobResult = WaitForJob(library, watcher ? noting : JobWatcher{});
  result.percent = library.Progress();
  if (stopAsked) result.end = TransferEnd::kStopped;
  else result.end = result.jobResult == VANTREL_JOB_SUCCEEDED ? TransferEnd::kDone : TransferEnd::kJobFailed;
  return result;
}

bool InBackground(size_t length) { return length >= static_cast<size_t>(VANTREL_BACKGROUND_TRANSFER_BYTES); }

}  // namespace

TransferResult ReadMemory(const Library& library, uint32_t address, unsigned char* buffer, size_t length,
                          const JobWatcher& watcher) {
  JtagRequest request = EmptyRequest();
  request.args.readMemory.buffer = buffer;
  request.args.readMemory.address = address;
  request.args.readMemory.length = static_cast<int32_t>(length);
  return Transfer(library, request, VANTREL_CMD_READ_MEMORY, InBackground(length), watcher);
}

TransferResult WriteMemory(const Library& library, uint32_t address, const unsigned char* data, size_t length,
                           bool verify, const JobWatcher& watcher) {
  JtagRequest request = EmptyRequest();
  request.args.writeMemory.verify = verify ? 1 : 0;
  request.args.writeMemory.address = address;
  request.args.writeMemory.data = data;
  request.args.writeMemory.length = static_cast<int32_t>(length);
  request.args.writeMemory.accessWidth = kWordAccessBytes;
  return Transfer(library, request, VANTREL_CMD_WRITE_MEMORY, InBackground(length), watcher);
}

TransferResult Download(const Library& library, uint32_t address, const unsigned char* image, size_t length,
                        uint32_t entry, bool verify, const JobWatcher& watcher) {
  JtagRequest request = EmptyRequest();
  request.args.download.verify = verify ? 1 : 0;
  request.args.download.loadAddress = address;
  request.args.download.entryAddress = entry;
  request.args.download.image = image;
  request.args.download.length = static_cast<int32_t>(length);
  return Transfer(library, request, VANTREL_CMD_DOWNLOAD, true, watcher);
}

}  // namespace vantrel::client
