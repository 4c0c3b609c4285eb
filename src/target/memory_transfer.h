// Moving bytes between a host buffer and the memory of the halted target, within the
// memory map. The only way the rest of the system reaches target memory. Bytes travel in
// address order whatever the target's endianness. Any address and any length are served:
// the words that are only partly requested are read whole, and for a write read, merged
// and written back, so exactly the requested bytes change.
//
// A word transfer fails when it goes through a link that was lost (the cable pulled out,
// the power gone, the core no longer back in debug state after a system-speed access,
// as the debug core observes it), when the power reading goes bad, or when an access
// aborted (the core is found in another mode at the end: one CPSR read per transfer).
// Then the target is put back into a known condition: the core restarted from address 0
// and the TAP in Test-Logic-Reset (TapActive 0); a failed write first drives the cable's
// data lines low. The core then runs: TargetState 0x200.
#pragma once

#include <cstdint>

#include "common/result_code.h"

namespace vantrel::target {

class TargetLayerState;

// Reads length bytes from address into destination. Bytes in write-only regions, and
// after a stop by the host the bytes not yet read, are 0xFF.
// Returns kOk (also after a stop by the host, and when the map leaves nothing to read:
// all 0xFF); kReadRefusedWriteOnly the request lies wholly in a write-only region
// (destination all 0xFF, nothing sent); kInvalidParameters a negative length or a null
// destination; kNoMemory no scratch memory; kStatusError the core is not halted;
// kWordTransferFailed the word transfer failed (destination untouched). Length 0 reads
// nothing.
[[nodiscard]] ResultCode FetchTargetMemory(TargetLayerState& target, uint32_t address, int32_t length,
                                           uint8_t* destination);

// Writes length bytes of data to address, in chunks of up to 14 words, reporting progress
// after the first chunk and then every 256 bytes of offset, and once at the end.
// accessWidth (1 to 4) is the distance in bytes between the source words of a chunk; a
// chunk advances the transfer by 14 widths. A request not aligned to whole words is
// written as contiguous bytes (its partial words are read, merged and written back).
// Returns kOk (also when the map leaves nothing to write); kInvalidParameters a negative
// length, a null data pointer or a width outside 1 to 4 (nothing sent); kStatusError the
// core is not halted; kWordTransferFailed the word transfer failed (bad power included);
// kTransferStopped stopped by the host (the chunks up to the stop are written, the core
// stays halted); kWriteRefusedReadOnly the request lies wholly in a read-only region
// (nothing sent). Length 0 writes nothing.
[[nodiscard]] ResultCode StoreTargetMemory(TargetLayerState& target, uint32_t address, int32_t length,
                                           const uint8_t* data, int32_t accessWidth);

}  // namespace vantrel::target
