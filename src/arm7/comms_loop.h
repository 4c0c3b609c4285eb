// Memory words through the debug comms channel, for the fast transfers. A loop of eight
// instructions that the core runs from a work area of target RAM takes each word the
// cable writes into the channel and stores it, or loads each word and hands it to the
// channel. A word then costs one scan of chain 2 (38 bits written, or 32 read) where the
// debug bus needs several scans of chain 1 and a system-speed access per block.
//
// The work area's 32 bytes are saved first and put back at the end; the core ends halted
// as before, with r1 to r4 changed (RegisterCache puts them back before it runs again).
// Watchpoint 1 watches the exception vectors meanwhile, so an access that aborts halts
// the core rather than run the target's handler. Nothing is taken on trust:
// - the loop runs only when its words read back without an abort and the channel is
//   empty, otherwise kUnavailable, and the caller uses the debug bus instead;
// - at the end the words the core moved must be the words the cable moved. A core that
//   fell behind the cable, a word overwritten before the core took it or an access that
//   aborted all show there, and count as a lost link (link_check.h).
#pragma once

#include <cstdint>

#include "common/result_code.h"
#include "core/debug_core.h"

namespace vantrel::arm7 {

struct Arm7State;

inline constexpr uint32_t kCommsLoopBytes = 32;  // the part of the work area the loop takes

using core::CommsLoop;

// workArea: word aligned, above the exception vectors, clear of the transfer. Starts the
// core on the store loop for words (at least 1) words from address onwards.
[[nodiscard]] CommsLoop ArmStartCommsStores(Arm7State& core, uint32_t workArea, uint32_t address, uint32_t words);
// Hands count words to the running store loop; word i is the four bytes at
// source + stride x i, read as a little-endian word. One scan in 64 reads the status
// byte; a lost cable or power shows in LinkLost once the cable has resolved those reads
// (a full window, or the next scan that is not deferred: ArmEndCommsStores at the latest).
void ArmSendCommsWords(Arm7State& core, int stride, int count, const uint8_t* source);
// Waits for the core to take the last word, halts it and checks that it stored exactly
// wordsSent words; then the watchpoints and the work area go back. Returns kOk or kLinkLost
// (a core that could not be halted leaves the work area to ArmPutBackLeftWorkArea).
[[nodiscard]] ResultCode ArmEndCommsStores(Arm7State& core, uint32_t wordsSent);

// Starts the core on the load loop for words (at least 1) words from address onwards.
[[nodiscard]] CommsLoop ArmStartCommsLoads(Arm7State& core, uint32_t workArea, uint32_t address, uint32_t words);
// The next count words as the core loaded them into a register (FromMemoryOrder gives
// their bytes in address order), their scans handed to the cable as one run, so that a
// port with a batch entry has them all in flight at once. anotherAfterLast false when
// the last of them is the last word the caller will take.
void ArmReceiveCommsWords(Arm7State& core, uint32_t* words, int count, bool anotherAfterLast);
// Halts the core (also in the middle of the words, when the host stopped the read),
// checks that every word received was one the core handed over, in order, and puts back
// the watchpoints and the work area. Returns kOk or kLinkLost.
[[nodiscard]] ResultCode ArmEndCommsLoads(Arm7State& core);

// A loop whose core could not be halted at its end (the cable pulled out, a core that no
// longer halts) stays in its work area. The next debug-state entry calls this: the saved
// words go back if the area still holds the loop unchanged (the checksum loop's too:
// checksum_loop.h). Nothing is scanned otherwise.
void ArmPutBackLeftWorkArea(Arm7State& core);

}  // namespace vantrel::arm7
