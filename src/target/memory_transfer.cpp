#include "target/memory_transfer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#include "target/abort_watch.h"
#include "target/memory_map.h"
#include "target/register_cache.h"
#include "target/target_layer_state.h"
#include "target/target_state.h"
#include "target/work_area.h"

namespace vantrel::target {
namespace {

constexpr uint32_t kWordBytes = 4;
constexpr uint32_t kWordOffsetMask = kWordBytes - 1;
constexpr int64_t kWriteProgressBytes = 256;
constexpr uint8_t kUnreadByte = 0xFF;
constexpr int32_t kComplete = 100;
constexpr int32_t kMinAccessWidth = 1;
constexpr int32_t kMaxAccessWidth = 4;

// The words that hold the bytes first .. first + length - 1.
struct WordSpan {
  uint32_t first;  // first's word
  int64_t bytes;   // a multiple of 4
  uint32_t lead;   // bytes of the first word before first
};

WordSpan WordsAround(uint32_t first, int64_t length) {
  const uint32_t wordFirst = first & ~kWordOffsetMask;
  const int64_t end = static_cast<int64_t>(first) + length;
  const int64_t wordEnd = (end + kWordOffsetMask) & ~static_cast<int64_t>(kWordOffsetMask);
  return {wordFirst, wordEnd - wordFirst, first - wordFirst};
}

std::unique_ptr<uint8_t[]> ObtainBuffer(int64_t bytes) {
  if (bytes > std::numeric_limits<int32_t>::max()) return nullptr;
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[static_cast<std::size_t>(bytes)]);
}

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

core::TransferProgress& Progress(TargetLayerState& target) { return target.Core().Progress(); }

bool FastTransfers(TargetLayerState& target) { return target.Core().FastSequences(); }

ResultCode GetData(TargetLayerState& target, uint32_t address, uint8_t* destination, int count) {
  if (!FastTransfers(target)) return target.Core().GetData(address, destination, count);
  const int64_t bytes = static_cast<int64_t>(count) * kWordBytes;
  return target.Core().GetDataFast(address, destination, count, CommsLoopPlace(target, address, bytes));
}

// The fast sequences leave r0 just past the chunk written; the next chunk starts there
// when the source words are whole words apart.
ResultCode PutData(TargetLayerState& target, uint32_t address, int32_t width, int count, const uint8_t* source,
                   bool firstChunk) {
  if (!FastTransfers(target)) return target.Core().PutData(address, width, count, source);
  const bool continuing = !firstChunk && width == static_cast<int32_t>(kWordBytes);
  return target.Core().PutDataFast(address, width, count, source,
                                   continuing ? core::WriteStart::kContinuing : core::WriteStart::kLoadAddress);
}

// A word transfer that failed leaves the core in an unknown state: start it afresh. It
// then runs from address 0, out of debug control, and the state says so: no later
// command may take it for the halted core.
void RecoverAfterFailedRead(TargetLayerState& target) {
  target.Core().RestartFromZero();
  target.Core().LeaveTapInReset();
  SetTargetState(target, kTargetDown);
}

// A failed write first drives every data line low, the target's reset output included.
void RecoverAfterFailedWrite(TargetLayerState& target) {
  target.Core().DriveCableLinesLow();
  RecoverAfterFailedRead(target);
}

// A word transfer that failed. Words out of step in the comms loop, with the cable
// sound, may be an access that aborted and halted the loop's core at its vector: then
// the core is put back and stays halted as after any aborted access. Anything else
// leaves the core in an unknown state, started afresh by the recovery.
ResultCode FailedTransfer(TargetLayerState& target, AbortWatch& watch, void (*recover)(TargetLayerState&)) {
  if (target.Core().OnlyCommsOutOfStep()) {
    target.Core().ClearLinkObservations();
    if (watch.Check() == AbortWatch::Outcome::kAborted) return kWordTransferFailed;
  }
  recover(target);
  return kWordTransferFailed;
}

// The end of a transfer that reached the core. A link lost on the way leaves the core in
// an unknown state, started afresh by the recovery. An access that aborted fails the
// transfer too, but the core is halted and put back as it was: the target stays halted.
ResultCode CheckedTransfer(TargetLayerState& target, AbortWatch& watch, void (*recover)(TargetLayerState&)) {
  switch (watch.Check()) {
    case AbortWatch::Outcome::kClean: return kOk;
    case AbortWatch::Outcome::kAborted: return kWordTransferFailed;
    case AbortWatch::Outcome::kLinkLost: break;
  }
  recover(target);
  return kWordTransferFailed;
}

// The clipped part as an offset into the request; empty when the map left nothing or
// when the clipped part does not lie within the request.
struct RequestPart {
  uint32_t offset;
  uint32_t length;
};

RequestPart PartOfRequest(uint32_t address, int32_t length, const ClippedTransfer& clip) {
  const uint32_t offset = clip.first - address;
  const auto total = static_cast<uint32_t>(length);
  if (offset > total || clip.length > total - offset) return {0, 0};
  return {offset, clip.length};
}

using WordReader = ResultCode (*)(TargetLayerState& target, uint32_t address, uint8_t* destination, int count);

// Word-aligned, with ArmGetData's block and progress rules. A stop by the host keeps the
// words read so far (the rest stays 0xFF) and counts as success.
ResultCode ReadWords(TargetLayerState& target, const WordSpan& span, uint8_t* scratch, AbortWatch& watch,
                     WordReader read) {
  const ResultCode result =
      read(target, span.first, scratch, static_cast<int>(span.bytes / static_cast<int64_t>(kWordBytes)));
  if (result == kOk || result == kTransferStopped) return kOk;
  return FailedTransfer(target, watch, RecoverAfterFailedRead);
}

// The read and its check for an abort; kOk, or kWordTransferFailed with the core halted
// (an access aborted) or down (the link was lost).
ResultCode ReadCheckedWords(TargetLayerState& target, const WordSpan& span, uint8_t* scratch, WordReader read) {
  std::memset(scratch, kUnreadByte, static_cast<std::size_t>(span.bytes));
  target.Core().ClearLinkObservations();
  AbortWatch watch(target);
  if (ReadWords(target, span, scratch, watch, read) != kOk) return kWordTransferFailed;
  return CheckedTransfer(target, watch, RecoverAfterFailedRead);
}

// The exact sequences load the word before each block and whole blocks of eight words,
// whatever the length asked for. Next to memory that aborts (RAM's last words, say) that
// fails a read of words that are all readable: such a read is tried once more through
// blocks of exactly the words asked for. Reads that do not abort never come here, and
// the fast reads load only the words asked for already.
ResultCode GetWordsAskedFor(TargetLayerState& target, uint32_t address, uint8_t* destination, int count) {
  return target.Core().GetDataWithin(address, destination, count);
}

// Where the chunks of a write go: to the debug bus, or, for a fast write of whole words
// with a place for it, to the comms loop. A writer whose start lost the link has failed.
class ChunkWriter {
 public:
  ChunkWriter(TargetLayerState& target, uint32_t first, int64_t length, int32_t width) : target_(target) {
    if (!FastTransfers(target) || width != static_cast<int32_t>(kWordBytes)) return;
    const std::optional<uint32_t> place = CommsLoopPlace(target, first, length);
    if (!place.has_value()) return;
    const auto words = static_cast<uint32_t>(length / static_cast<int64_t>(kWordBytes));
    const core::CommsLoop start = target.Core().StartCommsStores(*place, first, words);
    comms_ = start == core::CommsLoop::kRunning;
    failed_ = start == core::CommsLoop::kLinkLost;
  }

  [[nodiscard]] bool StartFailed() const { return failed_; }

  [[nodiscard]] bool Put(uint32_t address, int32_t width, int count, const uint8_t* source, bool firstChunk) {
    if (!comms_) return PutData(target_, address, width, count, source, firstChunk) == kOk;
    target_.Core().SendCommsWords(width, count, source);
    wordsSent_ += static_cast<uint32_t>(count);
    return !target_.Core().LinkLost();
  }

  // Ends the comms loop, whatever became of the write; false when that failed.
  [[nodiscard]] bool Finish() {
    if (!comms_) return true;
    comms_ = false;
    return target_.Core().EndCommsStores(wordsSent_) == kOk;
  }

 private:
  TargetLayerState& target_;
  bool comms_ = false;
  bool failed_ = false;
  uint32_t wordsSent_ = 0;
};

ResultCode FailWrite(TargetLayerState& target, ChunkWriter& writer, AbortWatch& watch) {
  (void)writer.Finish();
  return FailedTransfer(target, watch, RecoverAfterFailedWrite);
}

// Chunks of the core's write block, the source words `width` bytes apart; progress
// after the first chunk and whenever the offset is a multiple of 256, and once at the end.
ResultCode WriteWords(TargetLayerState& target, uint32_t first, int64_t length, const uint8_t* source, int32_t width,
                      AbortWatch& watch) {
  ChunkWriter writer(target, first, length, width);
  if (writer.StartFailed()) return FailWrite(target, writer, watch);
  ResultCode result = kOk;
  int64_t offset = 0;
  const int chunkWords = target.Core().Facts().writeBlockWords;
  const int64_t advance = static_cast<int64_t>(chunkWords) * width;
  while (offset < length) {
    const int count = static_cast<int>(std::min<int64_t>((length - offset) / kWordBytes, chunkWords));
    const auto address = static_cast<uint32_t>(first + offset);
    if (!writer.Put(address, width, count, source + offset, offset == 0)) return FailWrite(target, writer, watch);
    // A stop seen once everything is written does not undo the write; a power reading
    // gone bad is no stop but a lost link.
    const bool moreToWrite = offset + advance < length;
    if (offset % kWriteProgressBytes == 0 && Progress(target).Report(ClampToInt32(offset), ClampToInt32(length))) {
      if (Progress(target).PowerReadingBad()) return FailWrite(target, writer, watch);
      if (moreToWrite) {
        result = kTransferStopped;
        break;
      }
    }
    offset += advance;
  }
  if (!writer.Finish()) return FailWrite(target, writer, watch);
  Progress(target).Show(ClampToInt32(offset), ClampToInt32(length));
  return result;
}

// The partly requested words at either end are read first so that their other bytes
// are written back as they were.
ResultCode WriteMergedBytes(TargetLayerState& target, uint32_t first, uint32_t length, const uint8_t* source,
                            AbortWatch& watch) {
  const WordSpan span = WordsAround(first, length);
  std::unique_ptr<uint8_t[]> staging = ObtainBuffer(span.bytes);
  if (staging == nullptr) return kNoMemory;
  const bool partialHead = span.lead != 0 || length < kWordBytes;
  const bool partialTail = ((first + length) & kWordOffsetMask) != 0;
  const int64_t lastWordOffset = span.bytes - kWordBytes;
  if (partialHead && ReadWords(target, {span.first, kWordBytes, 0}, staging.get(), watch, GetData) != kOk)
    return kWordTransferFailed;
  if (partialTail && lastWordOffset > 0) {
    const WordSpan tail{static_cast<uint32_t>(span.first + lastWordOffset), kWordBytes, 0};
    if (ReadWords(target, tail, staging.get() + lastWordOffset, watch, GetData) != kOk) return kWordTransferFailed;
  }
  std::memcpy(staging.get() + span.lead, source, length);
  Progress(target).SetPercent(0);
  return WriteWords(target, span.first, span.bytes, staging.get(), static_cast<int32_t>(kWordBytes), watch);
}

bool WordAligned(uint32_t value) { return (value & kWordOffsetMask) == 0; }

}  // namespace

ResultCode FetchTargetMemory(TargetLayerState& target, uint32_t address, int32_t length, uint8_t* destination) {
  if (!CoreHalted(target)) return kStatusError;
  if (length < 0 || (length > 0 && destination == nullptr)) return kInvalidParameters;
  if (length == 0) return kOk;
  const ClippedTransfer clip = ClipTransfer(target, address, static_cast<uint32_t>(length), kWriteOnlyRegion);
  if (clip.refused) {
    std::memset(destination, kUnreadByte, static_cast<std::size_t>(length));
    return kReadRefusedWriteOnly;
  }
  const RequestPart part = PartOfRequest(address, length, clip);
  if (part.length == 0) {
    std::memset(destination, kUnreadByte, static_cast<std::size_t>(length));
    Progress(target).SetPercent(kComplete);
    return kOk;
  }
  const WordSpan span = WordsAround(address + part.offset, part.length);
  std::unique_ptr<uint8_t[]> scratch = ObtainBuffer(span.bytes);
  if (scratch == nullptr) return kNoMemory;
  const auto fastScope = target.Core().FastSequenceScope();  // the checks too, chain 1 still selected
  ResultCode checked = ReadCheckedWords(target, span, scratch.get(), GetData);
  if (checked == kWordTransferFailed && !FastTransfers(target) && CoreHalted(target)) {
    checked = ReadCheckedWords(target, span, scratch.get(), GetWordsAskedFor);
  }
  if (checked != kOk) return checked;
  std::memset(destination, kUnreadByte, static_cast<std::size_t>(length));
  std::memcpy(destination + part.offset, scratch.get() + span.lead, part.length);
  return kOk;
}

ResultCode StoreTargetMemory(TargetLayerState& target, uint32_t address, int32_t length, const uint8_t* data,
                             int32_t accessWidth) {
  if (!CoreHalted(target)) return kStatusError;
  if (length < 0 || accessWidth < kMinAccessWidth || accessWidth > kMaxAccessWidth) return kInvalidParameters;
  if (length > 0 && data == nullptr) return kInvalidParameters;
  if (length == 0) return kOk;
  const ClippedTransfer clip = ClipTransfer(target, address, static_cast<uint32_t>(length), kReadOnlyRegion);
  if (clip.refused) return kWriteRefusedReadOnly;
  const RequestPart part = PartOfRequest(address, length, clip);
  if (part.length == 0) {
    Progress(target).SetPercent(kComplete);
    return kOk;
  }
  const uint32_t first = address + part.offset;
  const uint8_t* source = data + part.offset;
  const auto fastScope = target.Core().FastSequenceScope();  // the checks too, chain 1 still selected
  target.Core().ClearLinkObservations();
  AbortWatch watch(target);
  const ResultCode result = WordAligned(first) && WordAligned(part.length)
                                ? WriteWords(target, first, part.length, source, accessWidth, watch)
                                : WriteMergedBytes(target, first, part.length, source, watch);
  // Only a transfer that reached the core (the halted core kept halted) is checked.
  if (result == kOk || result == kTransferStopped) {
    const ResultCode checked = CheckedTransfer(target, watch, RecoverAfterFailedWrite);
    return checked != kOk ? checked : result;
  }
  if (CoreHalted(target)) watch.PutBack();
  return result;
}

}  // namespace vantrel::target
